#pragma once

#include "framework/afxwin.h"

// While an update run is active the window cannot be closed by accident, and Windows is told why the
// session should not end now: the Cancel button is disabled, Close is greyed in the system menu (and with it
// the close box and Alt+F4), and a shutdown block reason is registered. Release gives all of it back. The
// window's handlers still refuse Cancel and Close while the lock is engaged: a command can arrive by other
// ways than the greyed items (Escape, a posted WM_CLOSE).
class RunWindowLock {
public:
    RunWindowLock() = default;
    ~RunWindowLock() { Release(); }
    RunWindowLock(const RunWindowLock&) = delete;
    RunWindowLock& operator=(const RunWindowLock&) = delete;

    // `reason` is what Windows shows the user who shuts down during the run.
    void Engage(CWnd& window, const char* reason);
    // Does nothing when not engaged.
    void Release();
    bool Engaged() const { return m_pWindow != nullptr; }

private:
    CWnd* m_pWindow = nullptr;
    HWND m_hFocusBefore = nullptr;
    bool m_bReasonRegistered = false;
};
