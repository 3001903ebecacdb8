// What the system says of the PC's power, and how it may slow a process down to save it. The calls go
// through seams: a test program that runs the real code puts recorders in before anything runs (Wine always
// reports mains power and has no power throttling). Null means the system's own.
#pragma once

#include <windows.h>

using PowerStatusReader = BOOL(WINAPI*)(LPSYSTEM_POWER_STATUS status);
extern PowerStatusReader g_pfnGetSystemPowerStatus;

// SetProcessInformation, with the information class as a plain number: it exists from Windows 8 on, so the
// program looks it up at run time instead of importing it (null stays null where it is missing).
using ProcessInformationSetter = BOOL(WINAPI*)(HANDLE process, int informationClass, LPVOID information,
                                               DWORD size);
extern ProcessInformationSetter g_pfnSetProcessInformation;

// GetSystemPowerStatus through its seam.
bool ReadSystemPowerStatus(SYSTEM_POWER_STATUS& status);
