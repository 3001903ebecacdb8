// A dialog that uses every part of the framework the program relies on. A test gives it a script that
// runs on the dialog's thread once the modal loop is running; a watchdog ends a dialog that a script
// failed to end, so a broken test fails instead of hanging.
#pragma once

#include "framework/afxwin.h"
#include "tests/framework/SampleResource.h"

#include <functional>

// Progress bar whose painting the test takes over, like the program's own bar.
class CSampleProgress : public CProgressCtrl {
public:
    static constexpr COLORREF FILL = RGB(0, 128, 128);

    int m_nPaints = 0;
    int m_nErases = 0;

protected:
    afx_msg void OnPaint();
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);

    DECLARE_MESSAGE_MAP()
};

// The base maps the timer (which runs the script) and two buttons; the derived dialog overrides one.
class CSampleBaseDlg : public CDialog {
public:
    static constexpr INT_PTR WATCHDOG_RESULT = 99;

    explicit CSampleBaseDlg(UINT nIDTemplate) : CDialog(nIDTemplate) {}

    std::function<void(CSampleBaseDlg&)> m_script;
    int m_nBaseOnly = 0;
    int m_nBothInBase = 0;

protected:
    BOOL OnInitDialog() override;
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnBaseOnly() { ++m_nBaseOnly; }
    afx_msg void OnBoth() { ++m_nBothInBase; }

    DECLARE_MESSAGE_MAP()
};

class CSampleDlg : public CSampleBaseDlg {
public:
    explicit CSampleDlg(UINT nIDTemplate = IDD_SAMPLE);

    CSampleProgress m_progress;
    HICON m_hIcon;
    int m_nBothInDerived = 0;
    int m_nCancelClicks = 0;
    int m_nPaints = 0;
    UINT m_lastSysCommand = 0;
    BOOL m_bInitialExchange = FALSE;

    // Pumps this thread's messages with PeekMessage until `done` or 10 s have passed; false on time-out.
    static bool PumpUntil(const std::function<bool()>& done);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnBoth() { ++m_nBothInDerived; }
    afx_msg void OnBnClickedCancel();

    DECLARE_MESSAGE_MAP()
};
