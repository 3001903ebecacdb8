#include "system/PowerSeams.h"

PowerStatusReader g_pfnGetSystemPowerStatus = nullptr;
ProcessInformationSetter g_pfnSetProcessInformation = nullptr;

bool ReadSystemPowerStatus(SYSTEM_POWER_STATUS& status) {
    return (g_pfnGetSystemPowerStatus != nullptr ? g_pfnGetSystemPowerStatus
                                                 : ::GetSystemPowerStatus)(&status) != FALSE;
}
