// Closing the console of the recorded console program (NimbrelCliRecorded.exe) as a user closes its window.
#pragma once

#include <windows.h>

#include <string>

// Wine delivers no console event to a program started without a terminal: signalling this event stands in
// for the console window's closing.
inline std::string ConsoleClosingEventName(DWORD pid) {
    return "Local\\NimbrelCliRecorded-Closing-" + std::to_string(pid);
}

// Signalling this one stands in for Ctrl+C pressed in the program's console.
inline std::string ConsoleCtrlCEventName(DWORD pid) {
    return "Local\\NimbrelCliRecorded-CtrlC-" + std::to_string(pid);
}
