#include "framework/SafeOwner.h"

#include "framework/CWinApp.h"
#include "framework/CWnd.h"

HWND afx_detail::SafeOwner(HWND hPreferred) noexcept {
    HWND hWnd = hPreferred;
    if (hWnd == nullptr) {
        // A window of another thread would tie the two threads' input together and be disabled from here.
        const CWnd* pMain = AfxGetMainWnd();
        if (pMain != nullptr && ::IsWindow(pMain->m_hWnd) &&
            ::GetWindowThreadProcessId(pMain->m_hWnd, nullptr) == ::GetCurrentThreadId())
            hWnd = pMain->m_hWnd;
        else
            hWnd = ::GetActiveWindow();
    }
    // A popup cannot be owned by a child window.
    while (hWnd != nullptr && (::GetWindowLongPtrA(hWnd, GWL_STYLE) & WS_CHILD) != 0)
        hWnd = ::GetParent(hWnd);
    if (hPreferred == nullptr && hWnd != nullptr)
        hWnd = ::GetLastActivePopup(hWnd);
    return hWnd;
}
