// Window object. A CWnd either is attached to its window by subclassing (SubclassWindow, DDX_Control, a
// running CDialog): then the window's messages pass through the object's message map first and the
// window's original procedure gives the default handling; or it is a borrowed view of a window that
// GetDlgItem hands out, which only forwards calls. Destroying a CWnd never destroys its window: it only
// gives the window its original procedure back.
#pragma once

#include "framework/AfxCore.h"
#include "framework/CDC.h"
#include "framework/CMenu.h"
#include "framework/CString.h"
#include "framework/Geometry.h"
#include "framework/MessageMap.h"

#include <map>
#include <mutex>

// The system call behind CWnd::SetTimer: ::SetTimer while null. The program leaves it alone; a test program
// that runs the real window puts in a recorder before anything runs.
using TimerSetter = UINT_PTR(WINAPI*)(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
extern TimerSetter g_pfnSetTimer;

class CWnd {
public:
    CWnd() noexcept;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    HWND GetSafeHwnd() const noexcept { return m_hWnd; }
    operator HWND() const noexcept { return m_hWnd; }

    // Routes hWnd's messages through this object's message map. FALSE if this object already has a
    // window or hWnd is already bound to another object.
    BOOL SubclassWindow(HWND hWnd);
    // Gives the window its original procedure back and returns it.
    HWND UnsubclassWindow() noexcept;

    // The item's object: the object bound to it (DDX_Control), or a borrowed view kept by this window's
    // object. Safe to call from any thread; the pointer stays valid while this object
    // lives. Calls on it that change the window from another thread are sent to the window's thread and
    // complete once that thread handles messages.
    CWnd* GetDlgItem(int nID) const;

    void SetWindowText(LPCTSTR lpszString) noexcept;
    BOOL IsIconic() const noexcept { return ::IsIconic(m_hWnd); }
    void GetClientRect(LPRECT lpRect) const noexcept;
    HICON SetIcon(HICON hIcon, BOOL bBigIcon) noexcept;
    // The window's system menu, borrowed from the window; valid until the next call or this object's end.
    CMenu* GetSystemMenu(BOOL bRevert);

    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) noexcept;

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const noexcept;

    // Data exchange between members and controls: FALSE moves member values to the controls (and binds
    // controls), TRUE reads them back. Returns FALSE if an exchange failed.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    HWND m_hWnd = nullptr;

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

    virtual void DoDataExchange(CDataExchange* pDX);
    // Entry of every message of a bound window: the message map first, then DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Finds the message in the maps; FALSE if no map handles it.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // The window's own handling: its original procedure.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default handling of the message being handled right now.
    LRESULT Default();

    // What each message gets when a class maps it but wants the ordinary behaviour: the default handling.
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnPaint();
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);

private:
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);

    WNDPROC m_pfnSuper = nullptr;
    MSG m_currentMsg{};
    CMenu m_systemMenu;
    // The views GetDlgItem hands out for items no object is bound to: plain CWnd values that only name their
    // window. A node of the map never moves, so a pointer handed out stays valid while this object lives.
    mutable std::mutex m_itemLock;
    mutable std::map<HWND, CWnd> m_itemViews;
};

// The window procedure of every bound window.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

template <class T, auto F> LRESULT afx_thunk::EraseBkgnd(CWnd* pWnd, WPARAM wParam, LPARAM) {
    static_assert(CheckHandler<T, F, BOOL(CDC*)>());
    CDC dc;
    dc.Attach(reinterpret_cast<HDC>(wParam));
    const BOOL erased = (Self<T>(pWnd)->*F)(&dc);
    dc.Detach();
    return erased;
}
