// The program's button on the taskbar, as far as it shows the progress of long work. The button exists only
// once the taskbar has announced it with the registered message TASKBAR_BUTTON_CREATED_MESSAGE; where no
// taskbar does that (older shells, Wine), there is none, and the program does without.
#pragma once

#include <windows.h>

#include <memory>

constexpr char TASKBAR_BUTTON_CREATED_MESSAGE[] = "TaskbarButtonCreated";

class TaskbarButton {
public:
    enum class State { NoProgress, Normal, Error };

    virtual ~TaskbarButton() = default;
    virtual void SetProgress(ULONGLONG completed, ULONGLONG total) = 0;
    virtual void SetState(State state) = 0;
};

// The shell's side of `window`'s button (ITaskbarList3); null where the shell offers none. Open it on the
// window's thread once the taskbar has announced the button, and use it on that thread only.
std::unique_ptr<TaskbarButton> OpenSystemTaskbarButton(HWND window);

// How the program opens its button. The program leaves it alone; a test program that runs the real window
// puts in a recorder before the window starts.
using TaskbarButtonOpener = std::unique_ptr<TaskbarButton> (*)(HWND window);
extern TaskbarButtonOpener g_pfnOpenTaskbarButton;
