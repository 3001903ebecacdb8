// The standard progress bar control, driven through its PBM_ messages. Callable from any thread: a call
// from another thread is carried out by the window's thread while that thread handles messages.
#pragma once

#include "framework/CWnd.h"

class CProgressCtrl : public CWnd {
public:
    CProgressCtrl() noexcept = default;

    void SetRange(short nLower, short nUpper) noexcept;
    // Returns the previous position.
    int SetPos(int nPos) noexcept;
    int GetPos() const noexcept;
};
