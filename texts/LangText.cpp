#include "texts/LangText.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr std::size_t kPathSize = LANG_TEXT_SIZE;
constexpr std::size_t kDriveSize = 3;
constexpr std::size_t kNameSize = 256;

} // namespace

bool BuildLangTablePathFor(const char* programPath, char* path) {
    path[0] = '\0';
    char drive[kDriveSize];
    char directory[kPathSize];
    char name[kNameSize];
    char extension[kNameSize];
    if (_splitpath_s(programPath, drive, kDriveSize, directory, kPathSize, name, kNameSize, extension,
                     kNameSize) != 0)
        return false;

    const int written = std::snprintf(path, kPathSize, "%s%s%s", drive, directory, LANG_TABLE_NAME);
    if (written < 0 || static_cast<std::size_t>(written) >= kPathSize) {
        path[0] = '\0'; // a cut path could name another file
        return false;
    }
    return true;
}

const char* LookupLangTextIn(const char* tablePath, const char* section, const char* key, char* out,
                             std::size_t cb) {
    if (cb == 0)
        return out;
    out[0] = '\0';
    ::GetPrivateProfileStringA(section, key, "", out, static_cast<DWORD>(cb), tablePath);
    return out;
}

const char* LookupLangText(const char* section, const char* key, char* out, std::size_t cb) {
    if (cb == 0)
        return out;
    out[0] = '\0';
    char program[kPathSize];
    const DWORD length = ::GetModuleFileNameA(nullptr, program, kPathSize);
    if (length == 0 || length >= kPathSize)
        return out; // no path, or one cut to fit
    char table[kPathSize];
    if (!BuildLangTablePathFor(program, table))
        return out;
    return LookupLangTextIn(table, section, key, out, cb);
}
