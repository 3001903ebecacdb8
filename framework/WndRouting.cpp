// How a window's messages reach its CWnd: binding by subclassing, the window procedure that looks the
// object up, and the default handling by the window's original procedure.
#include "framework/CWnd.h"

#include "framework/WndBinding.h"

namespace {

// The object bound to a window, and the window's procedure from before the binding. The second outlives
// an object that had to let go while another procedure was installed on top of ours, so the window keeps
// its original behaviour even then.
const char OBJECT_PROP[] = "Framework.CWnd";
const char SUPER_PROP[] = "Framework.SuperProc";

} // namespace

CWnd* afx_detail::BoundObject(HWND hWnd) noexcept {
    return static_cast<CWnd*>(::GetPropA(hWnd, OBJECT_PROP));
}

using afx_detail::BoundObject;

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (m_hWnd != nullptr || hWnd == nullptr || !::IsWindow(hWnd) || BoundObject(hWnd) != nullptr ||
        ::GetPropA(hWnd, SUPER_PROP) != nullptr)
        return FALSE;
    if (!::SetPropA(hWnd, OBJECT_PROP, this))
        return FALSE;
    m_hWnd = hWnd;
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    if (m_pfnSuper == nullptr) {
        ::RemovePropA(hWnd, OBJECT_PROP);
        m_hWnd = nullptr;
        return FALSE;
    }
    ::SetPropA(hWnd, SUPER_PROP, reinterpret_cast<HANDLE>(m_pfnSuper));
    return TRUE;
}

HWND CWnd::UnsubclassWindow() noexcept {
    const HWND hWnd = m_hWnd;
    if (hWnd == nullptr || m_pfnSuper == nullptr)
        return nullptr;
    ::RemovePropA(hWnd, OBJECT_PROP);
    const auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(hWnd, GWLP_WNDPROC));
    if (current == &AfxWndProc) {
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        ::RemovePropA(hWnd, SUPER_PROP);
    }
    m_pfnSuper = nullptr;
    m_hWnd = nullptr;
    return hWnd;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* const pWnd = BoundObject(hWnd);
    if (pWnd == nullptr) {
        const auto super = reinterpret_cast<WNDPROC>(::GetPropA(hWnd, SUPER_PROP));
        if (message == WM_NCDESTROY)
            ::RemovePropA(hWnd, SUPER_PROP);
        return super != nullptr ? ::CallWindowProcA(super, hWnd, message, wParam, lParam)
                                : ::DefWindowProcA(hWnd, message, wParam, lParam);
    }

    // Messages nest (a handler's SendMessage comes back here); Default() must see the innermost one.
    const MSG outer = pWnd->m_currentMsg;
    pWnd->m_currentMsg = MSG{hWnd, message, wParam, lParam, 0, {0, 0}};
    const LRESULT result = pWnd->WindowProc(message, wParam, lParam);
    // A handler may have destroyed the window (and its owner the object): touch the object only if it still
    // holds this window.
    if (BoundObject(hWnd) != pWnd)
        return result;
    pWnd->m_currentMsg = outer;

    if (message == WM_NCDESTROY && pWnd->m_hWnd == hWnd)
        pWnd->UnsubclassWindow();
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    // Nothing is ever mapped to WM_NULL, which other programs send to see whether a window responds: an
    // entry that holds 0 is a registered message whose registration failed.
    if (message == WM_NULL)
        return FALSE;
    for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
         map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->pfnThunk != nullptr; ++entry) {
            if (entry->nMessage != message)
                continue;
            if (message == WM_COMMAND && (entry->nID != LOWORD(wParam) || entry->nCode != HIWORD(wParam)))
                continue;
            *pResult = entry->pfnThunk(this, wParam, lParam);
            return TRUE;
        }
    }
    return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper != nullptr)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_currentMsg.message, m_currentMsg.wParam, m_currentMsg.lParam);
}

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY noEntries[] = {{0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &noEntries[0]};
    return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const {
    return GetThisMessageMap();
}

void CWnd::OnTimer(UINT_PTR) {
    Default();
}

void CWnd::OnPaint() {
    Default();
}

void CWnd::OnSysCommand(UINT, LPARAM) {
    Default();
}
