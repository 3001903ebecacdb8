// The display scale a window is shown at, and pixel sizes for it. Sizes the program draws itself are made
// for 96 DPI (100%) and grow with the window's DPI: 120 at 125%, 144 at 150%, 192 at 200%.
#pragma once

#include <windows.h>

constexpr UINT DEFAULT_DPI = 96;

// The window's DPI: the system's per-window answer where there is one (Windows 10 1607 on), otherwise the
// screen's (then every window is shown at the system's one scale).
UINT DpiOfWindow(HWND hWnd);

// `pixelsAt96` at `dpi`, rounded to the nearest pixel.
int ScaledToDpi(int pixelsAt96, UINT dpi);

// A system metric (SM_CXICON, SM_CXSMICON, ...) at `dpi`: the system's own value for that scale where it
// gives one, otherwise its value at the system's scale, scaled.
int SystemMetricForDpi(int index, UINT dpi);

// Moves and sizes the window to the rectangle that WM_DPICHANGED suggests (its lParam), if any.
void TakeSuggestedRect(HWND hWnd, LPARAM suggestedRect);
