#pragma once

#include "system/HandleOwner.h"
#include "system/UniqueHandle.h"

#include <windows.h>

#include <string>

// The device link library is loaded from the program's folder (system/DllSearch.h) at each use, asked for one
// export, called once and released again; the handles it returns stay valid after the release.
constexpr const char LINK_LIBRARY_NAME[] = "TandryUSB.dll";

// Pipe names handed to open_file: host to device, and device to host.
extern char g_szPipeToDevice[32];
extern char g_szPipeFromDevice[32];

// A loaded library (FreeLibrary).
struct LoadedLibraryTraits : NullIsNone<HMODULE> {
    static void Close(Handle h) noexcept { ::FreeLibrary(h); }
};
using LoadedLibrary = HandleOwner<LoadedLibraryTraits>;

// One hold on the device link library. Move-only; frees the library when it ends.
class LinkLibrary {
public:
    static LinkLibrary Load();

    // True when the library was loaded and has the export that the next call needs.
    bool HasOpenDev() const;
    bool HasOpenFile() const;

    // Return the device's or the pipe's handle, or an invalid one when the library or the export is missing
    // or the library reports failure (-1).
    UniqueHandle OpenDev() const;
    UniqueHandle OpenFile(const char* pipeName) const;

private:
    explicit LinkLibrary(HMODULE module) : m_module(module) {}
    LoadedLibrary m_module;
};

// Result of one load-call-release use of the library.
struct LinkOpenResult {
    bool libraryLoaded = false; // false also when the library lacks the export: nothing could be called
    UniqueHandle handle;        // invalid when the call was not made or returned -1
};

// Loads the library, calls open_dev once and frees the library before returning the handle.
LinkOpenResult OpenDeviceOnce();

// Loads the library, calls open_file once with the pipe name and frees the library before returning the
// handle.
LinkOpenResult OpenPipeOnce(const char* pipeName);

// The update's host-to-device pipe, opened the way an update run opens it (load, open_file, release).
inline LinkOpenResult OpenDataPipe() {
    return OpenPipeOnce(g_szPipeToDevice);
}

// The full path of the link library that loading it by name finds now (loaded only to ask, and released);
// empty when it cannot be loaded.
std::string FindLinkLibraryPath();
