#include "cli/CliInterrupt.h"

#include "engine/TransferState.h"
#include "system/UniqueHandle.h"

#include <windows.h>

#include <atomic>

namespace {

std::atomic<StopCause> g_cause{StopCause::None};

// How long the console's closing, a log-off or a shutdown is held off while the update stops: Windows ends
// the process 5 s after such an event at the latest, and the moment this handler returns.
constexpr DWORD CLOSING_GRACE_MS = 4000;

// How long the start waits for the hidden window that hears the session's end. A process's first window costs
// it the window system's start, which on a busy PC can outlast the first bytes of the transfer; past this the
// update goes on, and the window hears the session's end from when it is up.
constexpr DWORD SESSION_WINDOW_WAIT_MS = 5000;

void StopBeforeTheProcessIsEnded(StopCause cause);

} // namespace

BOOL WINAPI HandleConsoleControl(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
        RequestInterrupt(StopCause::CtrlC);
        return TRUE;
    case CTRL_BREAK_EVENT:
        RequestInterrupt(StopCause::CtrlBreak);
        return TRUE;
    case CTRL_CLOSE_EVENT:
        StopBeforeTheProcessIsEnded(StopCause::ConsoleClosed);
        return TRUE;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        StopBeforeTheProcessIsEnded(StopCause::SessionEnding);
        return TRUE;
    default:
        return FALSE;
    }
}

namespace {

void StopBeforeTheProcessIsEnded(StopCause cause) {
    // The process is ended when the caller returns: hold it while the update stops its transfer as for Ctrl+C
    // and writes the history's end. The program then ends by itself, and this thread with it.
    RequestInterrupt(cause);
    ::Sleep(CLOSING_GRACE_MS);
}

void CALLBACK OnStopEvent(PVOID, BOOLEAN) {
    RequestInterrupt(StopCause::StopEvent);
}

// A program that uses the window system, as this one does, gets no log-off or shutdown event on its console:
// Windows tells its top-level windows instead. This hidden one hears it for the console.
LRESULT CALLBACK SessionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ENDSESSION && wParam)
        StopBeforeTheProcessIsEnded(StopCause::SessionEnding);
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// `windowUp` (an event that lives as long as the process) is set once the window exists or cannot be made.
DWORD WINAPI RunSessionWindow(LPVOID windowUp) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = SessionWindowProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = CLI_SESSION_WINDOW_CLASS;
    // Top-level (a message-only window hears no session's end), and never shown.
    const bool made = ::RegisterClassA(&windowClass) &&
                      ::CreateWindowExA(0, CLI_SESSION_WINDOW_CLASS, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                        nullptr, windowClass.hInstance, nullptr);
    ::SetEvent(static_cast<HANDLE>(windowUp));
    if (!made)
        return 1;
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageA(&msg);
    return 0;
}

} // namespace

std::string StopEventName(unsigned long pid) {
    return "Local\\NimbrelCli-Stop-" + std::to_string(pid);
}

void InstallInterruptHandler() {
    // A process started in a new process group has Ctrl+C turned off; the user's Ctrl+C must still reach us.
    ::SetConsoleCtrlHandler(nullptr, FALSE);
    ::SetConsoleCtrlHandler(HandleConsoleControl, TRUE);

    // Kept for the life of the process, as the wait on it is.
    static UniqueHandle stopEvent(
        ::CreateEventA(nullptr, TRUE, FALSE, StopEventName(::GetCurrentProcessId()).c_str()));
    HANDLE wait = nullptr;
    if (stopEvent.IsValid())
        ::RegisterWaitForSingleObject(&wait, stopEvent.Get(), OnStopEvent, nullptr, INFINITE,
                                      WT_EXECUTEONLYONCE);
    // The thread runs for the life of the process, and may set the event after the wait has given up.
    static UniqueHandle sessionWindowUp(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!sessionWindowUp.IsValid())
        return;
    const UniqueHandle sessionWindow(
        ::CreateThread(nullptr, 0, RunSessionWindow, sessionWindowUp.Get(), 0, nullptr));
    if (sessionWindow.IsValid())
        ::WaitForSingleObject(sessionWindowUp.Get(), SESSION_WINDOW_WAIT_MS);
}

bool InterruptRequested() {
    return g_cause.load() != StopCause::None;
}

StopCause InterruptCause() {
    return g_cause.load();
}

namespace {

struct StopCauseNames {
    StopCause cause;
    const char* text;
    const char* word;
};

constexpr StopCauseNames STOP_CAUSE_NAMES[] = {
    {StopCause::None, "no stop", "none"},
    {StopCause::CtrlC, "Ctrl+C", "ctrl-c"},
    {StopCause::CtrlBreak, "Ctrl+Break", "ctrl-break"},
    {StopCause::StopEvent, "the stop event of another program", "stop-event"},
    {StopCause::ConsoleClosed, "the console window closing", "console-closed"},
    {StopCause::SessionEnding, "the session ending", "session-ending"},
};

const StopCauseNames& NamesOf(StopCause cause) {
    for (const StopCauseNames& names : STOP_CAUSE_NAMES)
        if (names.cause == cause)
            return names;
    return STOP_CAUSE_NAMES[0];
}

} // namespace

const char* StopCauseText(StopCause cause) {
    return NamesOf(cause).text;
}

const char* StopCauseWord(StopCause cause) {
    return NamesOf(cause).word;
}

void RequestInterrupt(StopCause cause) {
    // The first cause is the one that stopped the run; a later one (Ctrl+C pressed twice) changes nothing.
    StopCause none = StopCause::None;
    g_cause.compare_exchange_strong(none, cause);
    g_bTransferStopRequested.store(true);
}
