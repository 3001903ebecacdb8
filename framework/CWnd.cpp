#include "framework/CWnd.h"

#include "framework/DataExchange.h"
#include "framework/WndBinding.h"

TimerSetter g_pfnSetTimer = nullptr;

CWnd::CWnd() noexcept = default;

CWnd::~CWnd() {
    UnsubclassWindow();
}

CWnd* CWnd::GetDlgItem(int nID) const {
    const HWND hItem = m_hWnd != nullptr ? ::GetDlgItem(m_hWnd, nID) : nullptr;
    if (hItem == nullptr)
        return nullptr;
    if (CWnd* bound = afx_detail::BoundObject(hItem))
        return bound;
    // Worker threads ask for items too (and may race with the window's thread): the views are made under a
    // lock and kept until this object ends, so a pointer handed out never dangles while its holder can
    // still reach this object.
    std::lock_guard<std::mutex> lock(m_itemLock);
    CWnd& view = m_itemViews[hItem];
    view.m_hWnd = hItem;
    return &view;
}

void CWnd::SetWindowText(LPCTSTR lpszString) noexcept {
    ::SetWindowTextA(m_hWnd, lpszString != nullptr ? lpszString : "");
}

void CWnd::GetClientRect(LPRECT lpRect) const noexcept {
    ::GetClientRect(m_hWnd, lpRect);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) noexcept {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert) {
    m_systemMenu.m_hMenu = ::GetSystemMenu(m_hWnd, bRevert);
    return m_systemMenu.m_hMenu != nullptr ? &m_systemMenu : nullptr;
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) noexcept {
    return (g_pfnSetTimer != nullptr ? g_pfnSetTimer : ::SetTimer)(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const noexcept {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    if (m_hWnd == nullptr)
        return FALSE;
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.Failed();
}

void CWnd::DoDataExchange(CDataExchange*) {}
