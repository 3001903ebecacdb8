// A DLL planted under the name of a system DLL (winmm.dll, version.dll, ...) beside a program or in its
// current folder: if any program loads it, it leaves a file named after itself with ".loaded" added. It
// exports nothing a program needs.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH + 8];
        const DWORD length = ::GetModuleFileNameA(self, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            ::lstrcatA(path, ".loaded");
            ::CloseHandle(::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        }
    }
    return TRUE;
}
