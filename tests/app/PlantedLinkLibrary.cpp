// A TandryUSB.dll as someone might plant it in a folder of downloaded images: if any program loads it, it
// leaves planted-library-loaded.txt in that program's current directory. It finds no device.
#include <windows.h>

#include <cstdio>

extern "C" {

__declspec(dllexport) HANDLE open_dev() {
    return INVALID_HANDLE_VALUE;
}
__declspec(dllexport) HANDLE open_file(const char*) {
    return INVALID_HANDLE_VALUE;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        if (std::FILE* marker = std::fopen("planted-library-loaded.txt", "a")) {
            std::fputs("loaded\n", marker);
            std::fclose(marker);
        }
    }
    return TRUE;
}
}
