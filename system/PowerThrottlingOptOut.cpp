#include "system/PowerThrottlingOptOut.h"

#include "system/PowerSeams.h"

#include <initializer_list>

namespace {

ProcessInformationSetter FindSetter() {
    if (g_pfnSetProcessInformation != nullptr)
        return g_pfnSetProcessInformation;
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    return kernel ? reinterpret_cast<ProcessInformationSetter>(
                        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetProcessInformation")))
                  : nullptr;
}

bool SetThrottling(ULONG controlMask) {
    const ProcessInformationSetter set = FindSetter();
    if (set == nullptr)
        return false;
    ProcessPowerThrottlingState state{POWER_THROTTLING_VERSION, controlMask, 0};
    return set(::GetCurrentProcess(), PROCESS_POWER_THROTTLING_CLASS, &state, sizeof state) != FALSE;
}

} // namespace

PowerThrottlingOptOut::PowerThrottlingOptOut() {
    // A system that does not know a policy refuses the whole call: try without the newer one.
    for (const ULONG policies : {POWER_THROTTLING_IGNORE_TIMER_RESOLUTION | POWER_THROTTLING_EXECUTION_SPEED,
                                 POWER_THROTTLING_EXECUTION_SPEED}) {
        if (SetThrottling(policies)) {
            m_optedOut = policies;
            return;
        }
    }
}

PowerThrottlingOptOut::~PowerThrottlingOptOut() {
    if (m_optedOut != 0)
        SetThrottling(0);
}
