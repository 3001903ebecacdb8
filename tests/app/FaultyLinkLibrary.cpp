// A TandryUSB.dll for the window tests that passes every call to the real library (TandryUSBReal.dll beside
// it) except one: the open of "PIPE00" whose number (1 = first in the program's run) stands in
// pipe00-fail-at.txt beside it returns -1. The library is loaded anew at every use, so the count of opens
// so far is kept in pipe00-opens.txt. Loaded into the program at every presence tick, it also writes the
// program's system menu, one item a line, to system-menu.txt beside it: the menu of another process cannot
// be read from outside.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

HMODULE g_self = nullptr;

std::string Beside(const char* name) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(g_self, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of("\\/") + 1) + name;
}

long ReadNumber(const std::string& path) {
    long value = 0;
    if (std::FILE* in = std::fopen(path.c_str(), "r")) {
        if (std::fscanf(in, "%ld", &value) != 1)
            value = 0;
        std::fclose(in);
    }
    return value;
}

void WriteNumber(const std::string& path, long value) {
    if (std::FILE* out = std::fopen(path.c_str(), "w")) {
        std::fprintf(out, "%ld\n", value);
        std::fclose(out);
    }
}

template <typename Fn> Fn RealExport(HMODULE real, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(real, name)));
}

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM found) {
    char className[16] = {};
    ::GetClassNameA(hwnd, className, sizeof className);
    if (std::strcmp(className, "#32770") != 0 || ::GetWindow(hwnd, GW_OWNER))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

// "separator", or the item's command id and text.
void WriteSystemMenu() {
    HWND dialog = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    HMENU menu = dialog ? ::GetSystemMenu(dialog, FALSE) : nullptr;
    if (!menu)
        return;
    std::FILE* out = std::fopen(Beside("system-menu.txt").c_str(), "w");
    if (!out)
        return;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        char text[128] = {};
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = sizeof text;
        if (!::GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &item))
            continue;
        if (item.fType & MFT_SEPARATOR)
            std::fprintf(out, "separator\n");
        else
            std::fprintf(out, "%u %s\n", item.wID, text);
    }
    std::fclose(out);
}

} // namespace

extern "C" {

__declspec(dllexport) HANDLE open_dev() {
    WriteSystemMenu();
    HMODULE real = ::LoadLibraryA(Beside("TandryUSBReal.dll").c_str());
    auto fn = RealExport<HANDLE (*)()>(real, "open_dev");
    HANDLE h = fn ? fn() : INVALID_HANDLE_VALUE;
    if (real)
        ::FreeLibrary(real);
    return h;
}

__declspec(dllexport) HANDLE open_file(const char* name) {
    if (std::strcmp(name, "PIPE00") == 0) {
        const long opens = ReadNumber(Beside("pipe00-opens.txt")) + 1;
        WriteNumber(Beside("pipe00-opens.txt"), opens);
        if (opens == ReadNumber(Beside("pipe00-fail-at.txt")))
            return INVALID_HANDLE_VALUE;
    }
    HMODULE real = ::LoadLibraryA(Beside("TandryUSBReal.dll").c_str());
    auto fn = RealExport<HANDLE (*)(const char*)>(real, "open_file");
    HANDLE h = fn ? fn(name) : INVALID_HANDLE_VALUE;
    if (real)
        ::FreeLibrary(real);
    return h;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        g_self = instance;
    return TRUE;
}
}
