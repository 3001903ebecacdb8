// Text tables saved in UTF-8, as Notepad saves them: told from tables in the ANSI code page by their bytes,
// and read the way the system's profile reader reads a table, with their values given in the ANSI code page.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The whole file, or nothing when it cannot be read or is too big (over 1 MiB) to be a text table.
std::optional<std::string> ReadTableBytes(const char* tablePath);

// Whether a table of these bytes is in UTF-8: it starts with the byte order mark, or all of it is well-formed
// UTF-8 with at least one letter beyond ASCII. A table in an 8-bit code page with such letters is not.
bool IsUtf8Table(const std::string& bytes);
bool StartsWithUtf8Mark(const std::string& bytes);

// Writes the value of `key` in the first section named `section` of the UTF-8 table `bytes` into `out`
// (capacity `cb` > 0, already holding the empty text), in the ANSI code page and cut at a whole letter;
// a letter the code page lacks becomes its replacement character. Leaves `out` empty when there is no such
// key.
void LookupUtf8Table(const std::string& bytes, const char* section, const char* key, char* out,
                     std::size_t cb);
