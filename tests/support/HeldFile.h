// A file another program holds open without sharing (an editor, a virus scanner) while an update is under
// way.
#pragma once

#include "system/UniqueHandle.h"
#include "tests/support/SupportFailure.h"
#include "tests/support/VirtualDevice.h"

#include <windows.h>

#include <string>

// Holds `path` from now until the device has taken its first image whole and `afterMs` more have passed.
// False, with the running test failed, when the file cannot be opened or no image ends within `waitMs`.
inline bool HoldThroughTheFirstImage(VirtualDevice& device, const std::string& path, DWORD afterMs,
                                     DWORD waitMs) {
    const UniqueHandle held(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!held.IsValid()) {
        ReportSupportFailure("cannot hold " + path + ": error " + std::to_string(::GetLastError()));
        return false;
    }
    if (!device.WaitFor([](const VirtualDevice::Status& s) { return s.imagesCompleted > 0; }, waitMs)) {
        ReportSupportFailure("the device took no image whole while " + path + " was held");
        return false;
    }
    ::Sleep(afterMs);
    return true;
}
