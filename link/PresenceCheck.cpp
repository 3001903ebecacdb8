#include "link/PresenceCheck.h"

#include "link/DeviceLink.h"

DevicePresence FindDevice() {
    const LinkOpenResult device = OpenDeviceOnce();
    if (!device.libraryLoaded)
        return DevicePresence::LibraryMissing;
    // The handle is closed as `device` goes: only the answer counts.
    return device.handle.IsValid() ? DevicePresence::Present : DevicePresence::Absent;
}
