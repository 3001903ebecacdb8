#include "system/ProgramVersion.h"

#include "system/Paths.h"

#include <windows.h>

#include <cstdio>
#include <vector>

std::string ProgramFileVersion() {
    return FileVersionOf(ProgramFilePath());
}

std::string FileVersionOf(const std::string& program) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(program.c_str(), &ignored);
    if (size == 0)
        return {};
    std::vector<BYTE> record(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!::GetFileVersionInfoA(program.c_str(), 0, size, record.data()) ||
        !::VerQueryValueA(record.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixedSize < sizeof(VS_FIXEDFILEINFO))
        return {};
    char version[32];
    std::snprintf(version, sizeof version, "%u.%u.%u.%u",
                  static_cast<unsigned>(HIWORD(fixed->dwFileVersionMS)),
                  static_cast<unsigned>(LOWORD(fixed->dwFileVersionMS)),
                  static_cast<unsigned>(HIWORD(fixed->dwFileVersionLS)),
                  static_cast<unsigned>(LOWORD(fixed->dwFileVersionLS)));
    return version;
}
