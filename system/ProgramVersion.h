#pragma once

#include <string>

// The running program's file version from its version record ("1.0.0.1"); empty when it has none.
std::string ProgramFileVersion();

// The file version of the version record of the program or library at `path`; empty when it has none.
std::string FileVersionOf(const std::string& path);
