#include "tests/framework/SampleDialog.h"

namespace {
const UINT_PTR SCRIPT_TIMER = 1;
const UINT_PTR WATCHDOG_TIMER = 2;
} // namespace

BEGIN_MESSAGE_MAP(CSampleProgress, CProgressCtrl)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

void CSampleProgress::OnPaint() {
    ++m_nPaints;
    CPaintDC dc(this);
    CRect client;
    GetClientRect(client);
    // Off-screen, the way the program's bar draws: memory DC, bitmap, fill, one copy.
    CDC memory;
    memory.CreateCompatibleDC(&dc);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&dc, client.Width(), client.Height());
    CBitmap* previous = memory.SelectObject(&bitmap);
    CBrush fill(FILL);
    memory.FillRect(client, &fill);
    dc.BitBlt(0, 0, client.Width(), client.Height(), &memory, 0, 0, SRCCOPY);
    memory.SelectObject(previous);
}

BOOL CSampleProgress::OnEraseBkgnd(CDC*) {
    ++m_nErases;
    return TRUE;
}

BEGIN_MESSAGE_MAP(CSampleBaseDlg, CDialog)
ON_WM_TIMER()
ON_BN_CLICKED(IDC_BASE_ONLY, &CSampleBaseDlg::OnBaseOnly)
ON_BN_CLICKED(IDC_BOTH, &CSampleBaseDlg::OnBoth)
END_MESSAGE_MAP()

BOOL CSampleBaseDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetTimer(SCRIPT_TIMER, 20, nullptr);
    SetTimer(WATCHDOG_TIMER, 15000, nullptr);
    return TRUE;
}

void CSampleBaseDlg::OnTimer(UINT_PTR nIDEvent) {
    ::KillTimer(m_hWnd, nIDEvent);
    if (nIDEvent == WATCHDOG_TIMER)
        EndDialog(static_cast<int>(WATCHDOG_RESULT));
    else if (m_script)
        m_script(*this);
}

BEGIN_MESSAGE_MAP(CSampleDlg, CSampleBaseDlg)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_BOTH, &CSampleDlg::OnBoth)
ON_BN_CLICKED(IDCANCEL, &CSampleDlg::OnBnClickedCancel)
END_MESSAGE_MAP()

CSampleDlg::CSampleDlg(UINT nIDTemplate)
    : CSampleBaseDlg(nIDTemplate), m_hIcon(::LoadIconA(nullptr, MAKEINTRESOURCEA(32512))) {}

void CSampleDlg::DoDataExchange(CDataExchange* pDX) {
    CSampleBaseDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SAMPLE_PROGRESS, m_progress);
}

BOOL CSampleDlg::OnInitDialog() {
    // The base runs the exchange, so the bar must be bound once it returns.
    const BOOL result = CSampleBaseDlg::OnInitDialog();
    m_bInitialExchange = m_progress.m_hWnd != nullptr;
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    return result;
}

void CSampleDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    m_lastSysCommand = nID;
    CSampleBaseDlg::OnSysCommand(nID, lParam);
}

void CSampleDlg::OnPaint() {
    ++m_nPaints;
    CSampleBaseDlg::OnPaint();
}

HCURSOR CSampleDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void CSampleDlg::OnBnClickedCancel() {
    ++m_nCancelClicks;
    OnCancel();
}

bool CSampleDlg::PumpUntil(const std::function<bool()>& done) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > 60000)
            return false;
        MSG msg;
        if (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        } else {
            ::Sleep(1);
        }
    }
    return true;
}
