// What the device tests need on the host side: the link library loaded the way the program loads it, and
// overlapped transfers started and polled the way the program does them (zeroed record, no event, 1 ms
// polls).
#pragma once

#include "system/UniqueHandle.h"
#include "tests/support/VirtualDevice.h"

#include <windows.h>

#include <string>

namespace devicetest {

class LinkLibrary {
public:
    using OpenDev = HANDLE (*)();
    using OpenFile = HANDLE (*)(const char*);

    LinkLibrary() : module_(LoadLibraryA((VirtualDevice::ExeDir() + "TandryUSB.dll").c_str())) {
        if (module_ != nullptr) {
            openDev_ =
                reinterpret_cast<OpenDev>(reinterpret_cast<void*>(GetProcAddress(module_, "open_dev")));
            openFile_ =
                reinterpret_cast<OpenFile>(reinterpret_cast<void*>(GetProcAddress(module_, "open_file")));
        }
    }
    ~LinkLibrary() { release(); }
    LinkLibrary(const LinkLibrary&) = delete;
    LinkLibrary& operator=(const LinkLibrary&) = delete;

    bool loaded() const { return openDev_ != nullptr && openFile_ != nullptr; }
    UniqueHandle openDev() const { return UniqueHandle(openDev_()); }
    UniqueHandle openFile(const char* name) const { return UniqueHandle(openFile_(name)); }
    void release() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
            module_ = nullptr;
            openDev_ = nullptr;
            openFile_ = nullptr;
        }
    }

private:
    HMODULE module_;
    OpenDev openDev_ = nullptr;
    OpenFile openFile_ = nullptr;
};

// True when the presence check finds a device (and the handle it returns is closed again).
inline bool devicePresent(const LinkLibrary& link) {
    return link.openDev().IsValid();
}

struct Transfer {
    bool pendedAtStart = false; // the start returned ERROR_IO_PENDING
    bool completed = false;
    DWORD error = 0; // the failure seen, when not completed; 0 after a time-out
    DWORD bytes = 0;
    ULONGLONG elapsedMs = 0;
};

// Starts a read or write and polls it until it completes, fails, or the time is up; a transfer that is still
// under way then is cancelled and waited for, so that its buffer may go.
template <typename Start> Transfer pollTransfer(HANDLE pipe, Start start, DWORD timeoutMs) {
    Transfer t;
    OVERLAPPED ov{};
    const ULONGLONG began = GetTickCount64();
    if (start(&ov)) {
        t.completed = GetOverlappedResult(pipe, &ov, &t.bytes, FALSE) != FALSE;
        t.elapsedMs = GetTickCount64() - began;
        return t;
    }
    t.error = GetLastError();
    if (t.error != ERROR_IO_PENDING) {
        t.elapsedMs = GetTickCount64() - began;
        return t;
    }
    t.pendedAtStart = true;
    t.error = 0;
    for (;;) {
        if (GetOverlappedResult(pipe, &ov, &t.bytes, FALSE)) {
            t.completed = true;
            break;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_IO_INCOMPLETE) {
            t.error = error;
            break;
        }
        if (GetTickCount64() - began >= timeoutMs) {
            CancelIo(pipe);
            GetOverlappedResult(pipe, &ov, &t.bytes, TRUE);
            break;
        }
        Sleep(1);
    }
    t.elapsedMs = GetTickCount64() - began;
    return t;
}

inline Transfer writePipe(HANDLE pipe, const void* data, DWORD size, DWORD timeoutMs = 5000) {
    return pollTransfer(
        pipe, [&](OVERLAPPED* ov) { return WriteFile(pipe, data, size, nullptr, ov) != FALSE; }, timeoutMs);
}

inline Transfer readPipe(HANDLE pipe, void* data, DWORD size, DWORD timeoutMs = 5000) {
    return pollTransfer(
        pipe, [&](OVERLAPPED* ov) { return ReadFile(pipe, data, size, nullptr, ov) != FALSE; }, timeoutMs);
}

} // namespace devicetest
