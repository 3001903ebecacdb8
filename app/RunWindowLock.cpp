#include "app/RunWindowLock.h"

#include <string>

namespace {

void EnableClose(CWnd& window, bool enable) {
    ::EnableWindow(::GetDlgItem(window.GetSafeHwnd(), IDCANCEL), enable ? TRUE : FALSE);
    if (CMenu* pSysMenu = window.GetSystemMenu(FALSE))
        pSysMenu->EnableMenuItem(SC_CLOSE, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

// The reason is a wide text; ours come from lang.ini in the system code page.
std::wstring Widen(const char* text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    return wide;
}

} // namespace

void RunWindowLock::Engage(CWnd& window, const char* reason) {
    if (Engaged())
        return;
    m_pWindow = &window;
    m_hFocusBefore = ::GetFocus();
    EnableClose(window, false);
    // Where the system keeps no reasons (before Vista, Wine) the refusal of the session's end stands alone.
    m_bReasonRegistered = ::ShutdownBlockReasonCreate(window.GetSafeHwnd(), Widen(reason).c_str()) != FALSE;
}

void RunWindowLock::Release() {
    if (!Engaged())
        return;
    CWnd& window = *m_pWindow;
    m_pWindow = nullptr;
    if (m_bReasonRegistered)
        ::ShutdownBlockReasonDestroy(window.GetSafeHwnd());
    m_bReasonRegistered = false;
    EnableClose(window, true);
    // Disabling the Cancel button took the focus from it; where nothing has it now, it goes back to where it
    // was, so that Enter and Escape act as before the run. Only in the active window: never take the
    // focus from another program.
    const HWND focus = ::GetFocus();
    if (::GetActiveWindow() == window.GetSafeHwnd() && (focus == nullptr || focus == window.GetSafeHwnd()) &&
        m_hFocusBefore != nullptr && ::IsWindow(m_hFocusBefore) && ::IsWindowEnabled(m_hFocusBefore))
        ::SetFocus(m_hFocusBefore);
    m_hFocusBefore = nullptr;
}
