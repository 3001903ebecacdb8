// The main window's own parts: its message map, binding the bar, start-up of the window, the system menu,
// the minimised picture and Cancel. The presence monitor (NimbrelDlgPresence.cpp), the update sequence
// (NimbrelDlgUpdate.cpp) and the run's ends (NimbrelDlgRunEnds.cpp) have files of their own.
#include "app/AboutDlg.h"
#include "app/DialogItems.h"
#include "app/NimbrelDlg.h"
#include "app/ProgressSetup.h"
#include "link/ProbeState.h"
#include "system/TaskbarButton.h"
#include "system/WindowDpi.h"
#include "texts/TextKeys.h"

namespace {

// Sent by the taskbar once the window's button exists (and again after the shell restarts).
const UINT WM_TASKBAR_BUTTON_CREATED = ::RegisterWindowMessageA(TASKBAR_BUTTON_CREATED_MESSAGE);

} // namespace

BEGIN_MESSAGE_MAP(CNimbrelDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_WM_TIMER()
ON_WM_QUERYENDSESSION()
ON_WM_ENDSESSION()
ON_REGISTERED_MESSAGE(WM_TASKBAR_BUTTON_CREATED, &CNimbrelDlg::OnTaskbarButtonCreated)
ON_MESSAGE(WM_DPICHANGED, &CNimbrelDlg::OnDpiChanged)
ON_BN_CLICKED(IDC_UPDATE_FILE, &CNimbrelDlg::OnUpdateFile)
ON_BN_CLICKED(IDCANCEL, &CNimbrelDlg::OnBnClickedCancel)
END_MESSAGE_MAP()

void CNimbrelDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS, m_ctrlProgress);
}

BOOL CNimbrelDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (CMenu* pSysMenu = GetSystemMenu(FALSE)) {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }

    m_bToolLaunched = 0;
    m_bUpdating = 0;
    g_bDeviceIdentified.store(0);

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    SetWindowText(GetLangText(TEXT_SECTION_TITLE, TEXT_WINDOW_TITLE));
    GetDlgItem(IDC_UPDATE_FILE)->SetWindowText(GetLangText(TEXT_SECTION_CONTROL, TEXT_UPDATE_CAPTION));
    GetDlgItem(IDCANCEL)->SetWindowText(GetLangText(TEXT_SECTION_CONTROL, TEXT_CANCEL_CAPTION));
    GetDlgItem(IDC_LINK_STATUS)->SetWindowText(GetLangText(TEXT_SECTION_MESSAGE, TEXT_NOT_LINKED));

    ResetProgressBar(m_ctrlProgress);
    // The picture item shows the 100% bitmap at its own size; from now on it is drawn at the window's scale.
    if (HWND banner = FirstStaticOfType(m_hWnd, SS_BITMAP))
        if (m_banner.SubclassWindow(banner))
            m_banner.LoadSources({IDB_SPLASH, IDB_SPLASH_LARGE});
    ApplyDpi(DpiOfWindow(m_hWnd));

    SetTimer(PresenceTimer, PRESENCE_FIRST_MS, nullptr);
    return TRUE;
}

void CNimbrelDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else if ((nID & 0xFFF0) == SC_CLOSE && m_run.InProgress()) {
        // The close box and Alt+F4 during an update run: greyed, and refused should they come anyway.
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CNimbrelDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = SystemMetricForDpi(SM_CXICON, m_nDpi);
    const int cyIcon = SystemMetricForDpi(SM_CYICON, m_nDpi);
    CRect rect;
    GetClientRect(&rect);
    const int x = (rect.Width() - cxIcon + 1) / 2;
    const int y = (rect.Height() - cyIcon + 1) / 2;
    ::DrawIconEx(dc, x, y, m_hIcon, cxIcon, cyIcon, 0, nullptr, DI_NORMAL);
}

void CNimbrelDlg::ApplyDpi(UINT dpi) {
    m_nDpi = dpi;
    m_banner.FitToDpi(dpi);
    m_ctrlProgress.SetDpi(dpi);
}

LRESULT CNimbrelDlg::OnDpiChanged(WPARAM wParam, LPARAM lParam) {
    // Where the system scales the dialog's own items (per-monitor dialogs), it does so first.
    Default();
    TakeSuggestedRect(m_hWnd, lParam);
    ApplyDpi(HIWORD(wParam));
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return 0;
}

HCURSOR CNimbrelDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void CNimbrelDlg::OnBnClickedCancel() {
    // Cancel, Escape and every close of the window come here. During an update run the window stays: closing
    // it would only hide it while the run went on, and a user who then unplugged the device would cut an
    // image in half.
    if (m_run.InProgress())
        return;
    OnCancel();
}

void CNimbrelDlg::ShowMessage(LPCTSTR lpszKey, const char* fallback) {
    const char* text = GetLangText(TEXT_SECTION_MESSAGE, lpszKey);
    AfxMessageBox(text[0] != '\0' ? text : fallback, MB_OK, 0);
}
