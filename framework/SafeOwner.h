// Internal: the window that owns a modal dialog or message box when the caller names none.
#pragma once

#include "framework/AfxCore.h"

namespace afx_detail {

// hPreferred if given, else the application's main window when it belongs to the calling thread, else
// the calling thread's active window; taken to its top-level window, then (when nothing was named) to the
// popup that window last had active, so a box raised over an open dialog is owned by that dialog. Null
// when the thread has no window.
HWND SafeOwner(HWND hPreferred) noexcept;

} // namespace afx_detail
