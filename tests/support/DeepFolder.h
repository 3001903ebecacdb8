// A folder whose full path is exactly as long as a test asks, for the edges of the path limit: made and
// written in the long form ("\\?\C:\..."), so that files whose paths pass the limit are there too. Removed
// with its files afterwards.
#pragma once

#include "tests/support/SupportFailure.h"
#include "tests/support/TempFolder.h"

#include <windows.h>

#include <string>

class DeepFolder {
public:
    DeepFolder(const std::string& parent, std::size_t length) : m_path(parent + "\\") {
        if (length <= m_path.size())
            ReportSupportFailure("the parent " + parent + " is too long for a folder of " +
                                 std::to_string(length) + " characters");
        else
            m_path.append(length - m_path.size(), 'd');
        if (!::CreateDirectoryW(Long(m_path).c_str(), nullptr))
            ReportSupportFailure("cannot make " + m_path + " (error " + std::to_string(::GetLastError()) +
                                 ")");
    }
    ~DeepFolder() {
        WIN32_FIND_DATAW found;
        const HANDLE search = ::FindFirstFileW(Long(m_path + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                    ::DeleteFileW((Long(m_path + "\\") + found.cFileName).c_str());
            } while (::FindNextFileW(search, &found));
            ::FindClose(search);
        }
        ::RemoveDirectoryW(Long(m_path).c_str());
    }
    DeepFolder(const DeepFolder&) = delete;
    DeepFolder& operator=(const DeepFolder&) = delete;

    const std::string& Path() const { return m_path; }

    void Write(const std::string& name, const std::string& bytes) const {
        const std::string file = m_path + "\\" + name;
        TempFolder::WriteWholeFile(
            ::CreateFileW(Long(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), file,
            bytes);
    }

private:
    // The test's paths are ASCII.
    static std::wstring Long(const std::string& path) {
        return L"\\\\?\\" + std::wstring(path.begin(), path.end());
    }

    std::string m_path;
};
