#pragma once

#include "system/TaskbarButton.h"

#include <windows.h>

#include <memory>

// The taskbar button mirrors the update run, so that a minimised window still shows it: the bar's position
// while an image is sent, red when a transfer fails, no progress once the run has ended. The button can be
// had only once the taskbar has announced it; until then, and where that never comes, this only remembers
// what to show. For the window's thread only.
class TaskbarProgress {
public:
    // The taskbar has announced the button (again, after a restart of the shell): opens it anew and shows
    // what the run shows now.
    void ButtonCreated(HWND window);

    // The bar's position out of 100 (a position past the end shows as the end).
    void ShowPosition(int pos);
    void ShowFailed();
    void Clear();
    bool ShowsFailure() const { return m_state == TaskbarButton::State::Error; }

private:
    static constexpr int FULL = 100;

    std::unique_ptr<TaskbarButton> m_button;
    TaskbarButton::State m_state = TaskbarButton::State::NoProgress;
    int m_nPos = 0;
};
