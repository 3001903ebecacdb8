// NimbrelRecorded.exe: the real program (app/NimbrelApp.cpp and the whole window) with the execution state,
// the taskbar button and the timers recorded, for the window tests. The seams are set before the program
// starts; each call is one line of system-calls.txt beside the program:
//   awake / awake-end          SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) / (ES_CONTINUOUS)
//   taskbar-button             the button opened (after "TaskbarButtonCreated")
//   progress N/100             SetProgressValue
//   state none|normal|error    SetProgressState
// and each timer the window sets is one line "timer ID MS" of timers.txt. The execution state and the timers
// also go on to the system.
#include "framework/CWnd.h"
#include "framework/Paths.h"
#include "framework/StayAwake.h"
#include "framework/TaskbarButton.h"

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

std::unique_ptr<TaskbarButton> OpenRecordingButton(HWND) {
    Record("taskbar-button");
    return std::make_unique<RecordingTaskbarButton>();
}

[[maybe_unused]] const bool g_recorderInstalled = [] {
    g_pfnSetThreadExecutionState = RecordExecutionState;
    g_pfnOpenTaskbarButton = OpenRecordingButton;
    g_pfnSetTimer = RecordTimer;
    return true;
}();

} // namespace
