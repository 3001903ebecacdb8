#include "cli/CliInterrupt.h"

#include "engine/TransferState.h"
#include "system/UniqueHandle.h"

#include <windows.h>

#include <atomic>

namespace {

std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    RequestInterrupt();
    return TRUE;
}

void CALLBACK OnStopEvent(PVOID, BOOLEAN) {
    RequestInterrupt();
}

} // namespace

std::string StopEventName(unsigned long pid) {
    return "Local\\NimbrelCli-Stop-" + std::to_string(pid);
}

void InstallInterruptHandler() {
    // A process started in a new process group has Ctrl+C turned off; the user's Ctrl+C must still reach us.
    ::SetConsoleCtrlHandler(nullptr, FALSE);
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);

    // Kept for the life of the process, as the wait on it is.
    static UniqueHandle stopEvent(
        ::CreateEventA(nullptr, TRUE, FALSE, StopEventName(::GetCurrentProcessId()).c_str()));
    HANDLE wait = nullptr;
    if (stopEvent.IsValid())
        ::RegisterWaitForSingleObject(&wait, stopEvent.Get(), OnStopEvent, nullptr, INFINITE,
                                      WT_EXECUTEONLYONCE);
}

bool InterruptRequested() {
    return g_interrupted.load();
}

void RequestInterrupt() {
    g_interrupted.store(true);
    g_bTransferStopRequested.store(true);
}
