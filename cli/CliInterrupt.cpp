#include "cli/CliInterrupt.h"

#include "engine/TransferState.h"
#include "system/UniqueHandle.h"

#include <windows.h>

#include <atomic>

namespace {

std::atomic<bool> g_interrupted{false};

// How long the console's closing, a log-off or a shutdown is held off while the update stops: Windows ends
// the process 5 s after such an event at the latest, and the moment this handler returns.
constexpr DWORD CLOSING_GRACE_MS = 4000;

void StopBeforeTheProcessIsEnded();

} // namespace

BOOL WINAPI HandleConsoleControl(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        RequestInterrupt();
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        StopBeforeTheProcessIsEnded();
        return TRUE;
    default:
        return FALSE;
    }
}

namespace {

void StopBeforeTheProcessIsEnded() {
    // The process is ended when the caller returns: hold it while the update stops its transfer as for Ctrl+C
    // and writes the history's end. The program then ends by itself, and this thread with it.
    RequestInterrupt();
    ::Sleep(CLOSING_GRACE_MS);
}

void CALLBACK OnStopEvent(PVOID, BOOLEAN) {
    RequestInterrupt();
}

// A program that uses the window system, as this one does, gets no log-off or shutdown event on its console:
// Windows tells its top-level windows instead. This hidden one hears it for the console.
LRESULT CALLBACK SessionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ENDSESSION && wParam)
        StopBeforeTheProcessIsEnded();
    return ::DefWindowProcA(window, message, wParam, lParam);
}

DWORD WINAPI RunSessionWindow(LPVOID) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = SessionWindowProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = CLI_SESSION_WINDOW_CLASS;
    if (!::RegisterClassA(&windowClass))
        return 1;
    // Top-level (a message-only window hears no session's end), and never shown.
    if (!::CreateWindowExA(0, CLI_SESSION_WINDOW_CLASS, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           windowClass.hInstance, nullptr))
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
    // Runs for the life of the process.
    const UniqueHandle sessionWindow(::CreateThread(nullptr, 0, RunSessionWindow, nullptr, 0, nullptr));
}

bool InterruptRequested() {
    return g_interrupted.load();
}

void RequestInterrupt() {
    g_interrupted.store(true);
    g_bTransferStopRequested.store(true);
}
