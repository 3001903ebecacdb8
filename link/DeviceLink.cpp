#include "link/DeviceLink.h"

#include "system/DllSearch.h"

char g_szPipeToDevice[32] = "PIPE00";
char g_szPipeFromDevice[32] = "PIPE01";

namespace {

using OpenDevFn = HANDLE (*)();
using OpenFileFn = HANDLE (*)(const char*);

// GetProcAddress returns a generic function pointer; the hop through void(*)() is the conversion the
// compiler accepts between unrelated function pointer types.
template <typename Fn> Fn LookUp(HMODULE module, const char* name) {
    if (!module)
        return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

} // namespace

LinkLibrary LinkLibrary::Load() {
    return LinkLibrary(LoadLibraryBesideProgram(LINK_LIBRARY_NAME));
}

bool LinkLibrary::HasOpenDev() const {
    return LookUp<OpenDevFn>(m_module.Get(), "open_dev") != nullptr;
}

bool LinkLibrary::HasOpenFile() const {
    return LookUp<OpenFileFn>(m_module.Get(), "open_file") != nullptr;
}

UniqueHandle LinkLibrary::OpenDev() const {
    const OpenDevFn openDev = LookUp<OpenDevFn>(m_module.Get(), "open_dev");
    return UniqueHandle(openDev ? openDev() : INVALID_HANDLE_VALUE);
}

UniqueHandle LinkLibrary::OpenFile(const char* pipeName) const {
    const OpenFileFn openFile = LookUp<OpenFileFn>(m_module.Get(), "open_file");
    return UniqueHandle(openFile ? openFile(pipeName) : INVALID_HANDLE_VALUE);
}

LinkOpenResult OpenDeviceOnce() {
    LinkOpenResult result;
    LinkLibrary library = LinkLibrary::Load();
    result.libraryLoaded = library.HasOpenDev();
    if (result.libraryLoaded)
        result.handle = library.OpenDev();
    return result; // the library is freed here; the handle outlives it
}

LinkOpenResult OpenPipeOnce(const char* pipeName) {
    LinkOpenResult result;
    LinkLibrary library = LinkLibrary::Load();
    result.libraryLoaded = library.HasOpenFile();
    if (result.libraryLoaded)
        result.handle = library.OpenFile(pipeName);
    return result;
}

std::string FindLinkLibraryPath() {
    const LoadedLibrary module(LoadLibraryBesideProgram(LINK_LIBRARY_NAME));
    if (!module)
        return {};
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(module.Get(), path, sizeof path);
    return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}
