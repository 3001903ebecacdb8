// Internal: which CWnd a window is bound to (see WndRouting.cpp).
#pragma once

#include "framework/AfxCore.h"

namespace afx_detail {

// The object whose message map the window's messages pass through, or null. Safe from any thread.
CWnd* BoundObject(HWND hWnd) noexcept;

} // namespace afx_detail
