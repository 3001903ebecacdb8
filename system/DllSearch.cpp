#include "system/DllSearch.h"

#include "system/Paths.h"

#include <string>

bool LimitDllSearchToSystemFolder() {
    // Looked up rather than linked, so that systems without the setting still start the program. Where it
    // exists it is the call to make: SetDllDirectory with an empty text does not keep the current directory
    // out of the search everywhere.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    if (!kernel)
        return false;
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault)
        return setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
    // Where the setting is missing, this at least takes the current directory out of the ordinary search.
    return ::SetDllDirectoryA("") != FALSE;
}

HMODULE LoadLibraryBesideProgram(const char* name) {
    const std::string folder = ProgramFolder();
    if (!folder.empty()) {
        const std::string path = folder + name;
        HMODULE module = ::LoadLibraryExA(path.c_str(), nullptr,
                                          LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
        // Systems without the search flags (Windows 7 without its update KB2533623) refuse them.
        if (!module && ::GetLastError() == ERROR_INVALID_PARAMETER)
            module = ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (module || ::GetLastError() != ERROR_MOD_NOT_FOUND)
            return module;
    }
    return ::LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}
