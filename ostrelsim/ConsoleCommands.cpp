#include "ostrelsim/ConsoleCommands.h"

#include "tandryusb/DevicePaths.h"

#include <windows.h>

#include <cstdio>
#include <functional>
#include <thread>

namespace ostrelsim {
namespace {

constexpr DWORD CONTROL_WAIT_MS = 5000;

void ReadCommands(const std::string& control, Recorder& recorder) {
    char line[256];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        std::string command(line);
        while (!command.empty() && (command.back() == '\n' || command.back() == '\r'))
            command.pop_back();
        if (command.find_first_not_of(" \t") == std::string::npos)
            continue;
        char answer[512];
        DWORD read = 0;
        if (CallNamedPipeA(control.c_str(), &command[0], static_cast<DWORD>(command.size()), answer,
                           sizeof answer, &read, CONTROL_WAIT_MS))
            recorder.Print(std::string(answer, read));
        else
            recorder.Print("OstrelSim: the control pipe did not answer (error " +
                           std::to_string(GetLastError()) + ")");
        if (command == "quit")
            return;
    }
}

} // namespace

void StartConsoleCommands(const std::string& prefix, Recorder& recorder) {
    // Without standard input (started by a test, or detached) there is nothing to read.
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode))
        recorder.Print("OstrelSim: type plug, unplug, identity X, status or quit and press Enter");
    // Detached: the thread may be blocked in a read when the device ends, and the process's end stops it.
    std::thread(ReadCommands, tandry::DevicePath(prefix, tandry::CONTROL), std::ref(recorder)).detach();
}

} // namespace ostrelsim
