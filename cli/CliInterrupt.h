#pragma once

#include <windows.h>

#include <string>

// Ctrl+C and Ctrl+Break on the console: instead of ending the process at once, they raise a flag that the
// update checks between its steps and that stops a running transfer cleanly (its pending write cancelled and
// collected, the pipe closed).
// The same stop can come from another process: signalling the event named by StopEventName(this process's id)
// raises the flag as Ctrl+C does (for a supervising program, and where no console delivers Ctrl+C).
// It returns once the hidden window that hears the session's end is up (or after 5 s at most).
void InstallInterruptHandler();

// "Local\NimbrelCli-Stop-<pid>".
std::string StopEventName(unsigned long pid);

// What the console calls on its events. Ctrl+C and Ctrl+Break raise the flag. The console window's closing,
// a log-off and a shutdown raise it too, and then hold the process (for less than the 5 s Windows gives)
// until the update has stopped and written the history's end, and the program has ended. A log-off or a
// shutdown reaches the program through a hidden window of this class (WM_ENDSESSION), since it uses the
// window system.
BOOL WINAPI HandleConsoleControl(DWORD event);
constexpr char CLI_SESSION_WINDOW_CLASS[] = "NimbrelCliSession";

bool InterruptRequested();

// What raised the flag first; None while it is down.
enum class StopCause { None, CtrlC, CtrlBreak, StopEvent, ConsoleClosed, SessionEnding };
StopCause InterruptCause();
// In words for the console ("Ctrl+C", "the stop event of another program", ...), and as one word for JSON
// ("ctrl-c", "ctrl-break", "stop-event", "console-closed", "session-ending"; "none").
const char* StopCauseText(StopCause cause);
const char* StopCauseWord(StopCause cause);

// Raises the flag as Ctrl+C does; `cause` is kept when it is the first.
void RequestInterrupt(StopCause cause);
