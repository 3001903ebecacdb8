// The loader of the delay-loaded system DLLs (cmake/SystemDlls.cmake): each comes from the system folder and
// from nowhere else, whatever lies in the program's folder or the current folder.
#include "system/Paths.h"

#include <windows.h>

#include <delayimp.h>

#include <string>

namespace {

HMODULE LoadFromSystemFolder(const char* name) {
    // Where the flag exists (Windows 8, and 7 with its update KB2533623) the DLL's own dependencies are
    // looked for in the system folder too.
    if (HMODULE module = ::LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
        return module;
    if (::GetLastError() != ERROR_INVALID_PARAMETER)
        return nullptr;
    const std::string folder = SystemFolder();
    if (folder.empty())
        return nullptr;
    return ::LoadLibraryExA((folder + name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

FARPROC WINAPI OnDelayLoad(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary)
        return nullptr;
    if (HMODULE module = LoadFromSystemFolder(info->szDll))
        return reinterpret_cast<FARPROC>(module);
    // Returning nothing would let the delay-load helper search the ordinary way, the program's folder first.
    // A system DLL missing from the system folder ends the program as a missing static import would.
    ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(info);
    ::RaiseException(VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND), EXCEPTION_NONCONTINUABLE, 1,
                     &argument);
    return nullptr;
}

} // namespace

// The delay-load helper asks this hook (declared extern "C" by delayimp.h) before it loads a DLL; the linker
// is told to keep this definition (system/CMakeLists.txt), so that it takes the place of the runtime's empty
// one.
PfnDliHook __pfnDliNotifyHook2 = OnDelayLoad;
