// Keeps the system from sleeping while something that must not be cut short runs on the calling thread.
#pragma once

#include <windows.h>

// The system call behind StayAwake: SetThreadExecutionState while null. The program leaves it alone; a test
// program that runs the real code puts in a recorder before anything runs (null is set before any of its
// initialisers run, so none can come too early).
using ExecutionStateSetter = EXECUTION_STATE(WINAPI*)(EXECUTION_STATE esFlags);
extern ExecutionStateSetter g_pfnSetThreadExecutionState;

// While it lives, the system stays awake (ES_SYSTEM_REQUIRED, continuously); its end hands the choice back to
// the system. The state belongs to the calling thread: create and end it on the same thread.
class StayAwake {
public:
    StayAwake() noexcept { Set(ES_CONTINUOUS | ES_SYSTEM_REQUIRED); }
    ~StayAwake() { Set(ES_CONTINUOUS); }
    StayAwake(const StayAwake&) = delete;
    StayAwake& operator=(const StayAwake&) = delete;

private:
    static void Set(EXECUTION_STATE flags) noexcept;
};
