#include "texts/LangText.h"

#include "system/Paths.h"
#include "texts/Utf8Table.h"

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>

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
    // Read anew at every lookup, as the system's reader does: a table edited while the program runs shows its
    // new texts from the next lookup on, and the file is far too small for a copy to be worth keeping.
    const std::optional<std::string> bytes = ReadTableBytes(tablePath);
    if (bytes && IsUtf8Table(*bytes)) {
        LookupUtf8Table(*bytes, section, key, out, cb);
        return out;
    }
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

std::string DescribeLangTableEncoding(const char* tablePath) {
    if (::GetFileAttributesA(tablePath) == INVALID_FILE_ATTRIBUTES)
        return "missing";
    const std::optional<std::string> bytes = ReadTableBytes(tablePath);
    const std::string ansi = "ANSI (code page " + std::to_string(::GetACP()) + ")";
    if (!bytes)
        return "unreadable or over 1 MiB: read by the system as " + ansi;
    if (StartsWithUtf8Mark(*bytes))
        return "UTF-8 with byte order mark";
    if (bytes->compare(0, 2, "\xFF\xFE") == 0)
        return "UTF-16 LE";
    if (bytes->compare(0, 2, "\xFE\xFF") == 0)
        return "UTF-16 BE";
    if (IsUtf8Table(*bytes))
        return "UTF-8";
    for (const char c : *bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return ansi;
    return "ASCII";
}
