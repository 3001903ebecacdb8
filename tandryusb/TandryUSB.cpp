// The device link library: finds the Ostrel device under a path prefix and opens its pipes.
//
// The program looks both exports up with GetProcAddress and calls them as plain C functions, so they are
// __cdecl and exported undecorated through TandryUSB.def. Every handle is a system file handle opened for
// overlapped I/O; it belongs to the caller and stays valid after this library is freed.
#include "tandryusb/DevicePaths.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace {

std::string CurrentPrefix() {
    char buffer[1024];
    DWORD length = GetEnvironmentVariableA(tandry::PREFIX_VARIABLE, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) {
        return tandry::DEFAULT_PREFIX;
    }
    return std::string(buffer, length);
}

// Opens one pipe of the device. All instances of a pipe may be busy for a moment while the device sets up the
// next one, so a busy pipe is waited for briefly; a missing pipe means the device is not there.
HANDLE OpenDevicePipe(const char* name, DWORD access) {
    const std::string path = tandry::DevicePath(CurrentPrefix(), name);
    for (int attempt = 0; attempt < 20; ++attempt) {
        HANDLE h =
            CreateFileA(path.c_str(), access, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            return h;
        }
        if (GetLastError() != ERROR_PIPE_BUSY) {
            return INVALID_HANDLE_VALUE;
        }
        if (!WaitNamedPipeA(path.c_str(), 100)) {
            Sleep(5);
        }
    }
    return INVALID_HANDLE_VALUE;
}

} // namespace

extern "C" {

HANDLE __cdecl open_dev();
HANDLE __cdecl open_file(const char* name);

// A handle to the attached device, or INVALID_HANDLE_VALUE when none answers. The caller closes it.
HANDLE __cdecl open_dev() {
    return OpenDevicePipe(tandry::PRESENCE, GENERIC_READ);
}

// "PIPE00" (host to device) or "PIPE01" (device to host); any other name is refused.
HANDLE __cdecl open_file(const char* name) {
    if (name == nullptr ||
        (std::strcmp(name, tandry::HOST_TO_DEVICE) != 0 && std::strcmp(name, tandry::DEVICE_TO_HOST) != 0)) {
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = OpenDevicePipe(name, GENERIC_READ | GENERIC_WRITE);
    if (h != INVALID_HANDLE_VALUE) {
        // Each device reply is one message; reading it whole keeps two replies from running together.
        DWORD mode = PIPE_READMODE_MESSAGE;
        SetNamedPipeHandleState(h, &mode, nullptr, nullptr);
    }
    return h;
}

} // extern "C"
