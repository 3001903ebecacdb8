// Linked into NimbrelCliRecorded.exe: when the event ConsoleClosingEventName(this process) is signalled, the
// program's console handler is called with CTRL_CLOSE_EVENT on a thread of its own, and the process is then
// ended the way Windows ends it after that event: as soon as the handler returns, or 5 s after the event at
// the latest, whatever the program is doing. ConsoleCtrlCEventName(this process) has the handler called with
// CTRL_C_EVENT on a thread of its own, as Windows calls it for Ctrl+C, and nothing more.
#include "cli/CliInterrupt.h"
#include "system/UniqueHandle.h"
#include "tests/cli/ConsoleClosing.h"

#include <windows.h>

namespace {

constexpr DWORD WINDOWS_CLOSING_LIMIT_MS = 5000;

DWORD WINAPI DeliverClosing(LPVOID) {
    HandleConsoleControl(CTRL_CLOSE_EVENT);
    return 0;
}

void CALLBACK OnClosing(PVOID, BOOLEAN) {
    const UniqueHandle handler(::CreateThread(nullptr, 0, DeliverClosing, nullptr, 0, nullptr));
    if (handler.IsValid())
        ::WaitForSingleObject(handler.Get(), WINDOWS_CLOSING_LIMIT_MS);
    ::TerminateProcess(::GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
}

DWORD WINAPI DeliverCtrlC(LPVOID) {
    HandleConsoleControl(CTRL_C_EVENT);
    return 0;
}

void CALLBACK OnCtrlC(PVOID, BOOLEAN) {
    const UniqueHandle handler(::CreateThread(nullptr, 0, DeliverCtrlC, nullptr, 0, nullptr));
}

struct ClosingFeeder {
    ClosingFeeder()
        : event(
              ::CreateEventA(nullptr, TRUE, FALSE, ConsoleClosingEventName(::GetCurrentProcessId()).c_str())),
          ctrlC(
              ::CreateEventA(nullptr, TRUE, FALSE, ConsoleCtrlCEventName(::GetCurrentProcessId()).c_str())) {
        HANDLE wait = nullptr;
        if (event.IsValid())
            ::RegisterWaitForSingleObject(&wait, event.Get(), OnClosing, nullptr, INFINITE,
                                          WT_EXECUTEONLYONCE | WT_EXECUTELONGFUNCTION);
        if (ctrlC.IsValid())
            ::RegisterWaitForSingleObject(&wait, ctrlC.Get(), OnCtrlC, nullptr, INFINITE, WT_EXECUTEONLYONCE);
    }
    UniqueHandle event; // for the life of the process, as the waits on them are
    UniqueHandle ctrlC;
};

const ClosingFeeder g_feeder;

} // namespace
