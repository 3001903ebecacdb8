#pragma once

#include <cstddef>
#include <string>

// Size of every looked-up text buffer, terminating zero included: at most 259 characters of a value arrive.
constexpr std::size_t LANG_TEXT_SIZE = 260;

// Name of the text table, looked for in the program file's folder whatever the current directory is.
constexpr char LANG_TABLE_NAME[] = "lang.ini";

// Looks up `key` in `section` of the text table and writes the value into `out` (capacity `cb` bytes, cut to
// fit). Gives the empty text when the file, the section or the key is missing, or when the table's path does
// not fit in 259 characters (a truncated path could name another file). Reads the file anew at every call.
// A table in UTF-8 (with the byte order mark, or well-formed UTF-8 with at least one letter beyond ASCII, as
// Notepad saves it) gives its values in the PC's ANSI code page, letters the code page lacks as the system's
// replacement character; any other table (ANSI, UTF-16, plain ASCII) is read by the system's profile reader.
// Returns `out`. Each caller owns its buffer, so a worker's lookup never touches another thread's text.
const char* LookupLangText(const char* section, const char* key, char* out, std::size_t cb);

// Looks up `key` in `section` of the text table at `tablePath`; otherwise as LookupLangText.
const char* LookupLangTextIn(const char* tablePath, const char* section, const char* key, char* out,
                             std::size_t cb);

// Builds the path of the text table beside the program file `programPath` into `path` (LANG_TEXT_SIZE bytes).
// False, with `path` empty, when the result would not fit in 259 characters.
bool BuildLangTablePathFor(const char* programPath, char* path);

// What the text table at `tablePath` is written in, as far as its bytes tell: "missing", "UTF-8 with byte
// order mark", "UTF-8", "UTF-16 LE", "UTF-16 BE", "ASCII", "ANSI (code page N)", or that it is too big to be
// read as anything but ANSI.
std::string DescribeLangTableEncoding(const char* tablePath);
