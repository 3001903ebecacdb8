#pragma once

#include <string>

// Opens the file in the system's Notepad (from the system folder, never one beside the program or in the
// current folder) and returns without waiting for it. False when Notepad cannot be started.
bool OpenInNotepad(const std::string& path);
