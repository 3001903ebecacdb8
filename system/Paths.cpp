#include "system/Paths.h"

#include <windows.h>

std::string ProgramFilePath() {
    // Grown until the whole path fits: a path cut to a fixed buffer would name another file.
    std::string path(PATH_BUFFER_SIZE, '\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::string();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.assign(path.size() * 2, '\0');
    }
}

std::string FolderOfPath(const std::string& path) {
    const std::size_t end = path.find_last_of("\\/:");
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

std::string ProgramFolder() {
    return FolderOfPath(ProgramFilePath());
}

std::string SystemFolder() {
    char folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(folder, sizeof folder);
    return length == 0 || length >= sizeof folder ? std::string() : std::string(folder, length) + "\\";
}
