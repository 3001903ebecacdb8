#include "system/WindowDpi.h"

namespace {

// Looked up at run time: neither call exists before Windows 10 1607.
using DpiForWindowCall = UINT(WINAPI*)(HWND);
using MetricForDpiCall = int(WINAPI*)(int, UINT);

template <class Call> Call User32Call(const char* name) {
    const HMODULE user32 = ::GetModuleHandleA("user32.dll");
    return user32 != nullptr ? reinterpret_cast<Call>(reinterpret_cast<void*>(::GetProcAddress(user32, name)))
                             : nullptr;
}

UINT ScreenDpi() {
    const HDC screen = ::GetDC(nullptr);
    if (screen == nullptr)
        return DEFAULT_DPI;
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : DEFAULT_DPI;
}

} // namespace

UINT DpiOfWindow(HWND hWnd) {
    static const DpiForWindowCall dpiForWindow = User32Call<DpiForWindowCall>("GetDpiForWindow");
    if (dpiForWindow != nullptr && hWnd != nullptr) {
        const UINT dpi = dpiForWindow(hWnd);
        if (dpi != 0)
            return dpi;
    }
    return ScreenDpi();
}

int ScaledToDpi(int pixelsAt96, UINT dpi) {
    return ::MulDiv(pixelsAt96, static_cast<int>(dpi), static_cast<int>(DEFAULT_DPI));
}

int SystemMetricForDpi(int index, UINT dpi) {
    static const MetricForDpiCall metricForDpi = User32Call<MetricForDpiCall>("GetSystemMetricsForDpi");
    if (metricForDpi != nullptr)
        return metricForDpi(index, dpi);
    return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(ScreenDpi()));
}

void TakeSuggestedRect(HWND hWnd, LPARAM suggestedRect) {
    if (const RECT* rect = reinterpret_cast<const RECT*>(suggestedRect))
        ::SetWindowPos(hWnd, nullptr, rect->left, rect->top, rect->right - rect->left,
                       rect->bottom - rect->top, SWP_NOZORDER | SWP_NOACTIVATE);
}
