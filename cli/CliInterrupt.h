#pragma once

#include <string>

// Ctrl+C and Ctrl+Break on the console: instead of ending the process at once, they raise a flag that the
// update checks between its steps and that stops a running transfer cleanly (its pending write cancelled and
// collected, the pipe closed).
// The same stop can come from another process: signalling the event named by StopEventName(this process's id)
// raises the flag as Ctrl+C does (for a supervising program, and where no console delivers Ctrl+C).
void InstallInterruptHandler();

// "Local\NimbrelCli-Stop-<pid>".
std::string StopEventName(unsigned long pid);

bool InterruptRequested();

// Raises the flag as Ctrl+C does.
void RequestInterrupt();
