#include "framework/CWnd.h"

#include "framework/DataExchange.h"
#include "framework/WndBinding.h"

#include <vector>

TimerSetter g_pfnSetTimer = nullptr;

CWnd::CWnd() noexcept = default;

CWnd::~CWnd() {
    UnsubclassWindow();
    m_systemMenu.Detach();
}

CWnd* CWnd::ObjectFor(HWND hWnd) const {
    if (hWnd == nullptr)
        return nullptr;
    if (CWnd* bound = afx_detail::BoundObject(hWnd))
        return bound;
    // Worker threads ask for items too (and may race with the window's thread): the views are created
    // under a lock and kept until this object ends, so a pointer handed out never dangles while its
    // holder can still reach this object.
    std::lock_guard<std::mutex> lock(m_itemLock);
    std::unique_ptr<CWnd>& view = m_borrowedItems[hWnd];
    if (!view) {
        view = std::make_unique<CWnd>();
        view->m_hWnd = hWnd;
    }
    return view.get();
}

CWnd* CWnd::GetDlgItem(int nID) const {
    return m_hWnd != nullptr ? ObjectFor(::GetDlgItem(m_hWnd, nID)) : nullptr;
}

CWnd* CWnd::GetParent() const {
    return m_hWnd != nullptr ? ObjectFor(::GetParent(m_hWnd)) : nullptr;
}

CWnd* CWnd::SetFocus() noexcept {
    return ObjectFor(::SetFocus(m_hWnd));
}

void CWnd::SetWindowText(LPCTSTR lpszString) noexcept {
    ::SetWindowTextA(m_hWnd, lpszString != nullptr ? lpszString : "");
}

int CWnd::GetWindowText(LPTSTR lpszStringBuf, int nMaxCount) const noexcept {
    return ::GetWindowTextA(m_hWnd, lpszStringBuf, nMaxCount);
}

void CWnd::GetWindowText(CString& rString) const {
    const int length = ::GetWindowTextLengthA(m_hWnd);
    std::vector<char> buffer(static_cast<size_t>(length) + 2, '\0');
    ::GetWindowTextA(m_hWnd, buffer.data(), static_cast<int>(buffer.size()));
    rString = buffer.data();
}

BOOL CWnd::EnableWindow(BOOL bEnable) noexcept {
    return ::EnableWindow(m_hWnd, bEnable);
}

void CWnd::GetClientRect(LPRECT lpRect) const noexcept {
    ::GetClientRect(m_hWnd, lpRect);
}

void CWnd::GetWindowRect(LPRECT lpRect) const noexcept {
    ::GetWindowRect(m_hWnd, lpRect);
}

void CWnd::Invalidate(BOOL bErase) noexcept {
    ::InvalidateRect(m_hWnd, nullptr, bErase);
}

void CWnd::UpdateWindow() noexcept {
    ::UpdateWindow(m_hWnd);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) noexcept {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

HICON CWnd::GetIcon(BOOL bBigIcon) const noexcept {
    return reinterpret_cast<HICON>(SendMessage(WM_GETICON, bBigIcon ? ICON_BIG : ICON_SMALL, 0));
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert) {
    m_systemMenu.Detach();
    const HMENU hMenu = ::GetSystemMenu(m_hWnd, bRevert);
    if (hMenu == nullptr)
        return nullptr;
    m_systemMenu.Attach(hMenu);
    return &m_systemMenu;
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) noexcept {
    return (g_pfnSetTimer != nullptr ? g_pfnSetTimer : ::SetTimer)(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) noexcept {
    return ::KillTimer(m_hWnd, nIDEvent);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const noexcept {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const noexcept {
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    if (m_hWnd == nullptr)
        return FALSE;
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.Failed();
}

void CWnd::DoDataExchange(CDataExchange*) {}
