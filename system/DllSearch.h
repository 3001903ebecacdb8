#pragma once

#include <windows.h>

// Limits the search of libraries loaded by name to the system folder, so that neither the current directory
// nor the program's folder (a folder of downloads, where a planted winmm.dll or version.dll may lie) takes
// part, whoever loads them: the program or the system's own DLLs. Returns false when the system offers no
// such setting (only the current directory is then taken out of the search).
bool LimitDllSearchToSystemFolder();

// Loads the DLL `name` that lies beside the program, by its full path (its own dependencies from its folder
// and the system folder); when there is none, the one in the system folder. Null with the system's error when
// neither loads. The one way a program loads a DLL of its own folder.
HMODULE LoadLibraryBesideProgram(const char* name);
