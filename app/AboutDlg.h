#pragma once

#include "framework/afxwin.h"
#include "res/resource.h"

// The about box, opened from the main window's system menu. Everything it shows comes from its template.
class CAboutDlg : public CDialog {
public:
    enum { IDD = IDD_ABOUTBOX };

    CAboutDlg() : CDialog(IDD) {}
};
