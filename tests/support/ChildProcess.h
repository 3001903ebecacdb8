// Starts the helper programs of the tests (the virtual device, the program under test).
#pragma once

#include <windows.h>

#include <string>

// CreateProcessA with its usual meaning. Wine's process creation now and then fails with
// ERROR_INTERNAL_ERROR: the new process ended before it ran anything of its own, so nothing of ours was tried
// yet. Only that failure is met with a second start, and it is said on standard error so that it stays
// visible.
BOOL CreateChildProcess(const char* application, std::string commandLine, BOOL inheritHandles, DWORD flags,
                        const char* currentDirectory, STARTUPINFOA& startup, PROCESS_INFORMATION& info);
