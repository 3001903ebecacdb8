// Paths of the running program and of the system folder. Every program of the tree asks here for them.
#pragma once

#include <string>

// Paths, looked-up texts and formatted texts are held in zero-terminated buffers of this size.
constexpr unsigned PATH_BUFFER_SIZE = 260;

// Full path of the running program's file; empty when the system cannot give it.
std::string ProgramFilePath();

// The folder part of `path`, up to and including its last '\', '/' or drive ':'; empty when it has none.
std::string FolderOfPath(const std::string& path);

// Folder of the running program's file, with its trailing backslash ("C:\dir\").
std::string ProgramFolder();

// The system folder, with its trailing backslash ("C:\Windows\system32\"); empty when the system cannot give
// it.
std::string SystemFolder();
