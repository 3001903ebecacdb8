#include "system/DllSearch.h"

#include <windows.h>

bool RemoveCurrentDirectoryFromDllSearch() {
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
        return setDefault(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
    // Where the setting is missing, this at least takes the current directory out of the ordinary search.
    return ::SetDllDirectoryA("") != FALSE;
}
