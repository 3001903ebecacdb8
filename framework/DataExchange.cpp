#include "framework/DataExchange.h"

#include "framework/CWnd.h"

HWND CDataExchange::PrepareCtrl(int nIDC) noexcept {
    const HWND hItem = m_pDlgWnd != nullptr && m_pDlgWnd->m_hWnd != nullptr
                           ? ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC)
                           : nullptr;
    if (hItem == nullptr)
        Fail();
    return hItem;
}

void AFXAPI DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (pDX == nullptr || rControl.m_hWnd != nullptr)
        return;
    const HWND hItem = pDX->PrepareCtrl(nIDC);
    if (hItem != nullptr && rControl.SubclassWindow(hItem))
        return;
    pDX->Fail();
    // A template without the item, or an item bound twice, is a fault of the program itself: say which.
    CString note;
    note.Format("DDX_Control: dialog item %d cannot be bound to its control object\n", nIDC);
    ::OutputDebugStringA(note);
}
