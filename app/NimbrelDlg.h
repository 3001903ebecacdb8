#pragma once

#include "app/RunRecord.h"
#include "app/RunWindowLock.h"
#include "app/TaskbarProgress.h"
#include "controls/GradientProgressCtrl.h"
#include "engine/UpdateHistory.h"
#include "framework/afxwin.h"
#include "res/resource.h"

// The main window. Its members are shared by the presence monitor, the update sequence, the image sender and
// the text lookups; every flag is clear when the window is built.
class CNimbrelDlg : public CDialog {
public:
    enum { IDD = IDD_MAIN };

    explicit CNimbrelDlg(CWnd* pParent = nullptr);

    // Looks up [section] key in lang.ini beside the program into m_szLangText and returns it (the empty text
    // when missing). The next lookup overwrites it, so callers use the text at once. For the window's thread
    // only: a worker looks up into a buffer of its own (LookupLangText).
    LPCTSTR GetLangText(LPCTSTR lpszSection, LPCTSTR lpszKey);

    static constexpr int STAGE_COUNT = 4;

    HICON m_hIcon;                        // application icon, big and small
    BYTE m_bDeviceLinked;                 // the presence monitor last found the device
    BYTE m_bToolLaunched;                 // the companion tool was launched, or the device seen, since start
    BYTE m_bUpdating;                     // an update run is in progress
    BYTE m_bImageFound[STAGE_COUNT];      // the stage's image file could be opened in the latest run
    CGradientProgressCtrl m_ctrlProgress; // IDC_PROGRESS
    CString m_strImagePath[STAGE_COUNT];  // full path of each stage's image file
    char m_szLangText[260];               // receives every window-thread text lookup

    // Timer 1 and its periods: the first tick after the window starts, while the device is attached, while
    // it is absent.
    static constexpr UINT_PTR PresenceTimer = 1;
    static constexpr UINT PRESENCE_FIRST_MS = 100;
    static constexpr UINT PRESENCE_LINKED_MS = 1000;
    static constexpr UINT PRESENCE_ABSENT_MS = 800;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnTimer(UINT_PTR nIDEvent); // the presence monitor (NimbrelDlgPresence.cpp)
    afx_msg void OnUpdateFile();             // the update sequence (NimbrelDlgUpdate.cpp)
    afx_msg void OnBnClickedCancel();
    // The session's end and the taskbar (NimbrelDlgRunEnds.cpp).
    afx_msg BOOL OnQueryEndSession();
    afx_msg void OnEndSession(BOOL bEnding);
    afx_msg LRESULT OnTaskbarButtonCreated(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    // One tick of the presence monitor.
    void CheckDevicePresence();
    void LaunchCompanionToolOnce();
    // Shows [message] key in a box with an OK button only.
    void ShowMessage(LPCTSTR lpszKey);

    // An update run's start and its ends (NimbrelDlgRunEnds.cpp). From BeginRun to the run's end the window
    // cannot be closed, the session's end is refused and the history records the run. EndRun ends it (once;
    // later calls do nothing) before any closing box. EndWithDownloadFailure is the end of a run whose image
    // did not reach the device whole: the box "USB Download Fail !!! Try Again !", then the end of the
    // program.
    void BeginRun();
    void EndRun(RunOutcome outcome);
    [[noreturn]] void EndWithDownloadFailure(RunOutcome outcome);

    // True from the click on Update File until that run's handler returns: a click dispatched inside the
    // run's own waits or boxes must not start a second run inside the first.
    bool m_bRunActive = false;
    // True while the "TandryUSB.dll unloaded" box is open: ticks dispatched by its own loop stay quiet
    // instead of stacking further boxes on top of it.
    bool m_bLibraryBoxOpen = false;
    RunWindowLock m_runLock;
    TaskbarProgress m_taskbar;
    RunRecord m_runRecord;
};
