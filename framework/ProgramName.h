// Internal: the program file's base name, the default application title.
#pragma once

#include <string>

namespace afx_detail {

// "C:\dir\Nimbrel.exe" gives "Nimbrel".
std::string ProgramBaseName();

} // namespace afx_detail
