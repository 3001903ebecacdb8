#pragma once

#include "framework/afxwin.h"
#include "res/resource.h"
#include "system/HandleOwner.h"

// An icon that LoadImage made for one size (not a shared one): destroyed by its owner.
struct IconTraits : NullIsNone<HICON> {
    static void Close(Handle h) noexcept { ::DestroyIcon(h); }
};

// The about box, opened from the main window's system menu. Everything it shows comes from its template;
// its icon is drawn at the size of icons at the box's display scale.
class CAboutDlg : public CDialog {
public:
    enum { IDD = IDD_ABOUTBOX };

    CAboutDlg() : CDialog(IDD) {}

protected:
    BOOL OnInitDialog() override;
    afx_msg LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    void ShowIconAt(UINT dpi);

    HandleOwner<IconTraits> m_icon;
};
