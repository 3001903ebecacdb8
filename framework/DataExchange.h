// Data exchange between a window's members and its items (CWnd::UpdateData, CWnd::DoDataExchange).
#pragma once

#include "framework/AfxCore.h"

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) noexcept
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    // The item's window, or null (and the exchange marked failed) when the dialog has no such item.
    HWND PrepareCtrl(int nIDC) noexcept;
    // Marks the exchange as failed; UpdateData then returns FALSE.
    void Fail() noexcept { m_bFailed = TRUE; }
    BOOL Failed() const noexcept { return m_bFailed; }

    BOOL m_bSaveAndValidate; // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;

private:
    BOOL m_bFailed = FALSE;
};

// Binds item nIDC to rControl (once; later exchanges leave a bound control alone): from then on the item's
// messages reach rControl's message map first. A missing item, or one already bound elsewhere, fails the
// exchange.
void AFXAPI DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
