// NimbrelRecorded.exe: the real program (app/NimbrelApp.cpp and the whole window) with the execution state
// and the taskbar button recorded, for the window tests. The seams are set before the program starts; each
// call is one line of system-calls.txt beside the program:
//   awake / awake-end          SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) / (ES_CONTINUOUS)
//   taskbar-button             the button opened (after "TaskbarButtonCreated")
//   progress N/100             SetProgressValue
//   state none|normal|error    SetProgressState
// The execution state also goes on to the system.
#include "framework/Paths.h"
#include "framework/StayAwake.h"
#include "framework/TaskbarButton.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

namespace {

std::mutex g_recordLock;

void Record(const std::string& line) {
    const std::lock_guard<std::mutex> lock(g_recordLock);
    if (std::FILE* out = std::fopen((ProgramFolder() + "system-calls.txt").c_str(), "a")) {
        std::fprintf(out, "%s\n", line.c_str());
        std::fclose(out);
    }
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
    return true;
}();

} // namespace
