// Dialog built from a dialog template resource and run modally. The object is handed to the dialog in the
// creation parameter and binds itself to the window when WM_INITDIALOG arrives, so every later message
// goes through its message map; what the map leaves alone gets the system's dialog handling.
#pragma once

#include "framework/CWnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr) noexcept;

    // Runs the dialog until EndDialog; returns its result, or -1 if the dialog could not be created.
    // Without a parent the dialog is owned by the application's main window (the last popup that window
    // has active), as long as that window exists and is not this dialog.
    virtual INT_PTR DoModal();
    // Runs UpdateData(FALSE). TRUE lets the system put the focus on the first tab-stop item.
    virtual BOOL OnInitDialog();
    void EndDialog(int nResult) noexcept;

protected:
    // IDOK: UpdateData(TRUE), then EndDialog(IDOK) if it succeeded. IDCANCEL, Escape and the close box:
    // EndDialog(IDCANCEL).
    virtual void OnOK();
    virtual void OnCancel();

    LPCTSTR m_lpszTemplateName = nullptr;
    CWnd* m_pParentWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};
