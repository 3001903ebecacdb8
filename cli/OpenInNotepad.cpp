#include "cli/OpenInNotepad.h"

#include "system/Paths.h"
#include "system/UniqueHandle.h"

#include <windows.h>

#include <vector>

bool OpenInNotepad(const std::string& path) {
    const std::string folder = SystemFolder();
    if (folder.empty())
        return false;
    const std::string notepad = folder + "notepad.exe";
    const std::string line = "notepad.exe \"" + path + "\"";
    std::vector<char> commandLine(line.begin(), line.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(notepad.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &started))
        return false;
    const UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);
    return true;
}
