// Keeps Windows from slowing the process down to save power while something that must run at full pace runs.
#pragma once

#include <windows.h>

// The process-wide power throttling state handed to SetProcessInformation (the system's own declaration is
// missing from headers for Windows 7, which the program is built for).
struct ProcessPowerThrottlingState {
    ULONG Version;
    ULONG ControlMask; // the policies the process decides itself
    ULONG StateMask;   // of those, the ones turned on (0: the process is never throttled)
};
static_assert(sizeof(ProcessPowerThrottlingState) == 12, "the system reads three 32-bit fields");

constexpr int PROCESS_POWER_THROTTLING_CLASS = 4; // ProcessPowerThrottling
constexpr ULONG POWER_THROTTLING_VERSION = 1;
constexpr ULONG POWER_THROTTLING_EXECUTION_SPEED = 0x1;         // Windows 10 1709 on: slower processors
constexpr ULONG POWER_THROTTLING_IGNORE_TIMER_RESOLUTION = 0x4; // Windows 11 on: a coarser timer when hidden

// While it lives, the process is exempt from power throttling. Since Windows 11 the system may ignore a
// process's 1 ms timer resolution while its windows are minimised or hidden: each 1 ms poll of a pipe wait
// then costs a whole 15.6 ms tick, and an update crawls at a sixteenth of its pace. Where the system does not
// know both policies (Windows 10), it opts out of what it knows; where it knows none, or has no
// SetProcessInformation (Windows 7), it does nothing. Its end gives the system its say again.
class PowerThrottlingOptOut {
public:
    PowerThrottlingOptOut();
    ~PowerThrottlingOptOut();
    PowerThrottlingOptOut(const PowerThrottlingOptOut&) = delete;
    PowerThrottlingOptOut& operator=(const PowerThrottlingOptOut&) = delete;

    // The policies the process opted out of; 0 when none.
    ULONG OptedOut() const { return m_optedOut; }

private:
    ULONG m_optedOut = 0;
};
