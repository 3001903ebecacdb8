// A folder of its own under the temp folder for one test, removed with its files afterwards, and file
// helpers.
#pragma once

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
        ::CreateDirectoryA(m_path.c_str(), nullptr);
    }
    ~TempFolder() {
        for (const std::string& file : m_files)
            ::DeleteFileA(file.c_str());
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
        HANDLE h = ::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        ::CloseHandle(h);
        m_files.push_back(file);
        return file;
    }

private:
    std::string m_path;
    std::vector<std::string> m_files;
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
