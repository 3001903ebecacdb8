#include "link/PresenceCheck.h"

#include "framework/Paths.h"
#include "link/DeviceLink.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>

DevicePresence FindDevice() {
    const LinkOpenResult device = OpenDeviceOnce();
    if (!device.libraryLoaded)
        return DevicePresence::LibraryMissing;
    // The handle is closed as `device` goes: only the answer counts.
    return device.handle.IsValid() ? DevicePresence::Present : DevicePresence::Absent;
}

void LaunchCompanionTool() {
    char szDirectory[PATH_BUFFER_SIZE];
    const DWORD length = ::GetCurrentDirectoryA(PATH_BUFFER_SIZE, szDirectory);
    if (length == 0 || length >= PATH_BUFFER_SIZE)
        return;
    char szToolPath[PATH_BUFFER_SIZE];
    const int needed =
        std::snprintf(szToolPath, sizeof(szToolPath), "%s%s", szDirectory, COMPANION_TOOL_SUFFIX);
    if (needed < 0 || static_cast<unsigned>(needed) >= PATH_BUFFER_SIZE)
        return;
    ::ShellExecuteA(nullptr, "open", szToolPath, nullptr, nullptr, SW_SHOW);
}
