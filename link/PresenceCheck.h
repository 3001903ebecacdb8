// What one tick of the presence monitor asks of the system, without the window: whether the device answers,
// and the launch of the companion tool.
#pragma once

enum class DevicePresence {
    LibraryMissing, // the link library cannot be loaded, or lacks open_dev
    Present,
    Absent,
};

// Loads the link library, calls open_dev once, frees the library, and closes the device handle it got.
DevicePresence FindDevice();

// Name of the companion tool, looked for in the current directory.
constexpr char COMPANION_TOOL_SUFFIX[] = "\\Plenwick.exe";

// Asks the shell to open the companion tool from the current directory (shown, no parameters). The launch's
// outcome is not examined; nothing is launched when the tool's path would not fit in 259 characters, since a
// cut path could name another file.
void LaunchCompanionTool();
