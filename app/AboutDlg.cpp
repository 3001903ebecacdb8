#include "app/AboutDlg.h"

#include "app/DialogItems.h"

#include "system/WindowDpi.h"

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
ON_MESSAGE(WM_DPICHANGED, &CAboutDlg::OnDpiChanged)
END_MESSAGE_MAP()

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ShowIconAt(DpiOfWindow(m_hWnd));
    return TRUE;
}

LRESULT CAboutDlg::OnDpiChanged(WPARAM wParam, LPARAM lParam) {
    Default();
    TakeSuggestedRect(m_hWnd, lParam);
    ShowIconAt(HIWORD(wParam));
    return 0;
}

void CAboutDlg::ShowIconAt(UINT dpi) {
    const HWND item = FirstStaticOfType(m_hWnd, SS_ICON);
    const int size = SystemMetricForDpi(SM_CXICON, dpi);
    HandleOwner<IconTraits> icon(
        static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN_ICON),
                                        IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    if (item == nullptr || !icon)
        return;
    // The item sizes itself to the icon. The icon it showed before (the template's shared one, or ours of the
    // scale before) is released only once it is no longer shown.
    ::SendMessageA(item, STM_SETICON, reinterpret_cast<WPARAM>(icon.Get()), 0);
    m_icon = std::move(icon);
}
