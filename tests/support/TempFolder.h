// A folder of its own under the temp folder for one test, removed with its files afterwards, and file
// helpers.
#pragma once

#include "tests/support/SupportFailure.h"

#include <windows.h>

#include <string>
#include <vector>

class TempFolder {
public:
    TempFolder() {
        static unsigned counter = 0;
        char base[MAX_PATH];
        ::GetTempPathA(MAX_PATH, base);
        m_path = std::string(base) + "nimbrel-engine-" + std::to_string(::GetCurrentProcessId()) + "-" +
                 std::to_string(++counter);
        // Process ids come round again: what an earlier test left under this name (a program's output, a
        // checksum list a tool wrote) must not reach this one.
        RemoveFiles();
        ::CreateDirectoryA(m_path.c_str(), nullptr);
    }
    ~TempFolder() {
        RemoveFiles();
        ::RemoveDirectoryA(m_path.c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }

    std::string Write(const std::string& name, const std::vector<BYTE>& bytes) {
        return Write(name, std::string(bytes.begin(), bytes.end()));
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string file = m_path + "\\" + name;
        WriteWholeFile(::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
                       file, bytes);
        return file;
    }

    // Writes `bytes` into the file `h` (made anew for writing, or INVALID_HANDLE_VALUE) and closes it.
    static void WriteWholeFile(HANDLE h, const std::string& file, const std::string& bytes) {
        DWORD written = 0;
        // A file left as it was would have the test judge other bytes than it means to.
        if (h == INVALID_HANDLE_VALUE ||
            !::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size())
            ReportSupportFailure("cannot write " + file + " (error " + std::to_string(::GetLastError()) +
                                 ")");
        if (h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
    }

private:
    // Every file in the folder, whoever wrote it (the test, or a program it ran there).
    void RemoveFiles() const {
        WIN32_FIND_DATAA found;
        const HANDLE search = ::FindFirstFileA((m_path + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return;
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                ::DeleteFileA((m_path + "\\" + found.cFileName).c_str());
        } while (::FindNextFileA(search, &found));
        ::FindClose(search);
    }

    std::string m_path;
};

// Makes `folder` the current directory for the life of the object.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& folder) {
        ::GetCurrentDirectoryA(MAX_PATH, m_previous);
        ::SetCurrentDirectoryA(folder.c_str());
    }
    ~CurrentDirectory() { ::SetCurrentDirectoryA(m_previous); }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    char m_previous[MAX_PATH] = {};
};

// An image of `size` bytes: mark, send flag, then bytes that differ from their neighbours.
inline std::vector<BYTE> MakeImage(std::size_t size, BYTE mark = 0x25, BYTE sendFlag = 0x01) {
    std::vector<BYTE> image(size);
    for (std::size_t i = 0; i < size; ++i)
        image[i] = static_cast<BYTE>((i * 131 + i / 251) & 0xFF);
    if (size > 0)
        image[0] = mark;
    if (size > 1)
        image[1] = sendFlag;
    return image;
}
