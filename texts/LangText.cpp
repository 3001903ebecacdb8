#include "texts/LangText.h"

#include "system/Paths.h"

#include <windows.h>

#include <cstdio>

bool BuildLangTablePathFor(const char* programPath, char* path) {
    path[0] = '\0';
    const std::string folder = FolderOfPath(programPath);
    const int written = std::snprintf(path, LANG_TEXT_SIZE, "%s%s", folder.c_str(), LANG_TABLE_NAME);
    if (written < 0 || static_cast<std::size_t>(written) >= LANG_TEXT_SIZE) {
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
    const std::string program = ProgramFilePath();
    if (program.empty())
        return out;
    char table[LANG_TEXT_SIZE];
    if (!BuildLangTablePathFor(program.c_str(), table))
        return out;
    return LookupLangTextIn(table, section, key, out, cb);
}
