#include "engine/PowerCheck.h"

#include "system/PowerSeams.h"

namespace {

constexpr BYTE AC_OFFLINE = 0;
constexpr BYTE NO_SYSTEM_BATTERY = 128;
constexpr BYTE UNKNOWN_PERCENT = 255;

} // namespace

bool BatteryTooLowToUpdate(const SYSTEM_POWER_STATUS& status) {
    return status.ACLineStatus == AC_OFFLINE && (status.BatteryFlag & NO_SYSTEM_BATTERY) == 0 &&
           status.BatteryLifePercent != UNKNOWN_PERCENT && status.BatteryLifePercent < LOW_BATTERY_PERCENT;
}

bool BatteryTooLowToUpdate() {
    SYSTEM_POWER_STATUS status{};
    return ReadSystemPowerStatus(status) && BatteryTooLowToUpdate(status);
}
