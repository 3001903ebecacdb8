#include "ostrelsim/ConsoleCommands.h"

#include "tandryusb/DevicePaths.h"

#include <windows.h>

#include <functional>
#include <thread>

namespace ostrelsim {
namespace {

constexpr DWORD CONTROL_WAIT_MS = 5000;

// One line of standard input, without its line end; false at its end. Read from the handle itself, never
// through the C runtime's stdin: a thread blocked in fgets holds a lock of the runtime's streams, and the
// device's other threads, opening and closing their files, waited for it for ever.
bool ReadLine(HANDLE input, std::string& pending, std::string& line) {
    for (;;) {
        const std::size_t end = pending.find('\n');
        if (end != std::string::npos) {
            line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return true;
        }
        char chunk[256];
        DWORD read = 0;
        if (!ReadFile(input, chunk, sizeof chunk, &read, nullptr) || read == 0) {
            line = pending;
            pending.clear();
            return !line.empty();
        }
        pending.append(chunk, read);
    }
}

void ReadCommands(HANDLE input, const std::string& control, Recorder& recorder) {
    std::string pending, command;
    while (ReadLine(input, pending, command)) {
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
    std::thread(ReadCommands, input, tandry::DevicePath(prefix, tandry::CONTROL), std::ref(recorder))
        .detach();
}

} // namespace ostrelsim
