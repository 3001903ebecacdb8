// What one tick of the presence monitor asks of the device link, without the window: whether the device
// answers.
#pragma once

enum class DevicePresence {
    LibraryMissing, // the link library cannot be loaded, or lacks open_dev
    Present,
    Absent,
};

// Loads the link library, calls open_dev once, frees the library, and closes the device handle it got.
DevicePresence FindDevice();
