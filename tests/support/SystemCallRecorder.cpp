// Linked into a real program (NimbrelRecorded.exe: the window; NimbrelCliRecorded.exe: the console program)
// for the tests: records what the program asks of the parts of the system that Wine stubs or fakes, and feeds
// it the PC's power as a test wants it. The seams are set before the program starts; each call is one line of
// system-calls.txt beside the program:
//   awake / awake-end          SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) / (ES_CONTINUOUS)
//   taskbar-button             the button opened (after "TaskbarButtonCreated")
//   progress N/100             SetProgressValue
//   state none|normal|error    SetProgressState
//   power AC FLAG PERCENT      GetSystemPowerStatus, with what it answered
//   throttling MASK            SetProcessInformation(ProcessPowerThrottling) with that control mask (state 0)
// and each timer the window sets is one line "timer ID MS" of timers.txt. The execution state and the timers
// also go on to the system. The power status comes from power.txt beside the program when it is there
// ("AC FLAG PERCENT" as GetSystemPowerStatus gives them: "0 0 15" is on battery at 15%), else from the
// system. SetProcessInformation is answered as Windows 11 does; a file throttling.txt beside the program makes
// it refuse the timer policy, as Windows 10 does.
#include "framework/CWnd.h"
#include "system/Paths.h"
#include "system/PowerSeams.h"
#include "system/PowerThrottlingOptOut.h"
#include "system/StayAwake.h"
#include "system/TaskbarButton.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

namespace {

std::mutex g_recordLock;

void RecordIn(const char* file, const std::string& line) {
    const std::lock_guard<std::mutex> lock(g_recordLock);
    if (std::FILE* out = std::fopen((ProgramFolder() + file).c_str(), "a")) {
        std::fprintf(out, "%s\n", line.c_str());
        std::fclose(out);
    }
}

void Record(const std::string& line) {
    RecordIn("system-calls.txt", line);
}

UINT_PTR WINAPI RecordTimer(HWND hWnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    RecordIn("timers.txt", "timer " + std::to_string(id) + " " + std::to_string(elapseMs));
    return ::SetTimer(hWnd, id, elapseMs, proc);
}

EXECUTION_STATE WINAPI RecordExecutionState(EXECUTION_STATE flags) {
    Record(flags == (ES_CONTINUOUS | ES_SYSTEM_REQUIRED) ? "awake"
           : flags == ES_CONTINUOUS                      ? "awake-end"
                                                         : "execution-state " + std::to_string(flags));
    return ::SetThreadExecutionState(flags);
}

class RecordingTaskbarButton final : public TaskbarButton {
public:
    void SetProgress(ULONGLONG completed, ULONGLONG total) override {
        Record("progress " + std::to_string(completed) + "/" + std::to_string(total));
    }
    void SetState(State state) override {
        Record(std::string("state ") + (state == State::Error    ? "error"
                                        : state == State::Normal ? "normal"
                                                                 : "none"));
    }
};

BOOL WINAPI RecordPowerStatus(LPSYSTEM_POWER_STATUS status) {
    unsigned ac = 0, flag = 0, percent = 0;
    std::FILE* in = std::fopen((ProgramFolder() + "power.txt").c_str(), "r");
    const bool fed = in != nullptr && std::fscanf(in, "%u %u %u", &ac, &flag, &percent) == 3;
    if (in != nullptr)
        std::fclose(in);
    if (!fed && !::GetSystemPowerStatus(status))
        return FALSE;
    if (fed) {
        *status = SYSTEM_POWER_STATUS{};
        status->ACLineStatus = static_cast<BYTE>(ac);
        status->BatteryFlag = static_cast<BYTE>(flag);
        status->BatteryLifePercent = static_cast<BYTE>(percent);
    }
    Record("power " + std::to_string(status->ACLineStatus) + " " + std::to_string(status->BatteryFlag) + " " +
           std::to_string(status->BatteryLifePercent));
    return TRUE;
}

BOOL WINAPI RecordProcessInformation(HANDLE, int informationClass, LPVOID information, DWORD size) {
    if (informationClass != PROCESS_POWER_THROTTLING_CLASS || size != sizeof(ProcessPowerThrottlingState))
        return FALSE;
    const auto* state = static_cast<const ProcessPowerThrottlingState*>(information);
    const bool refuseTimerPolicy =
        ::GetFileAttributesA((ProgramFolder() + "throttling.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
    if (refuseTimerPolicy && (state->ControlMask & POWER_THROTTLING_IGNORE_TIMER_RESOLUTION) != 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Record("throttling " + std::to_string(state->ControlMask) + (state->StateMask ? " on" : ""));
    return TRUE;
}

std::unique_ptr<TaskbarButton> OpenRecordingButton(HWND) {
    Record("taskbar-button");
    return std::make_unique<RecordingTaskbarButton>();
}

[[maybe_unused]] const bool g_recorderInstalled = [] {
    g_pfnSetThreadExecutionState = RecordExecutionState;
    g_pfnOpenTaskbarButton = OpenRecordingButton;
    g_pfnSetTimer = RecordTimer;
    g_pfnGetSystemPowerStatus = RecordPowerStatus;
    g_pfnSetProcessInformation = RecordProcessInformation;
    return true;
}();

} // namespace
