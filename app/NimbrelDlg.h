#pragma once

#include "app/RunWindowLock.h"
#include "app/TaskbarProgress.h"
#include "controls/GradientProgressCtrl.h"
#include "controls/StretchedPicture.h"
#include "engine/UpdateRun.h"
#include "framework/afxwin.h"
#include "res/resource.h"

// The main window. Its members are shared by the presence monitor, the update sequence, the image sender and
// the text lookups; every flag is clear when the window is built. It is the update run's front end in the
// window: the run itself (UpdateRun) is the engine's, the window shows it and keeps handling its messages
// while a sender runs.
class CNimbrelDlg : public CDialog, private UpdateRunFrontEnd {
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
    CStretchedPicture m_banner;           // the title picture, drawn at the window's scale
    UINT m_nDpi = 0;                      // the window's display scale (96 = 100%)

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
    afx_msg void OnUpdateFile();             // the update run (NimbrelDlgUpdate.cpp)
    afx_msg void OnBnClickedCancel();
    // The session's end and the taskbar (NimbrelDlgRunEnds.cpp).
    afx_msg BOOL OnQueryEndSession();
    afx_msg void OnEndSession(BOOL bEnding);
    afx_msg LRESULT OnTaskbarButtonCreated(WPARAM wParam, LPARAM lParam);
    // The window was moved to a monitor of another scale.
    afx_msg LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    // Sizes and draws what the window draws itself (the title picture, the bar's texts) for `dpi`.
    void ApplyDpi(UINT dpi);
    // One tick of the presence monitor.
    void CheckDevicePresence();
    void LaunchCompanionToolOnce();
    // Shows [message] key in a box with an OK button only; `fallback` when the table has no such text.
    void ShowMessage(LPCTSTR lpszKey, const char* fallback = "");
    // The same, with `detail` below the text (the file and what happened to the device).
    void ShowDetailedMessage(LPCTSTR lpszKey, const char* fallback, const std::string& detail);
    // The images a run that stopped at a stage had sent before it, as a sentence for a box.
    static std::string SentBefore(const RunResult& result);

    // The window's part of an update run (NimbrelDlgUpdate.cpp): texts, the bar, the timer and the waits
    // that keep handling messages.
    void RunBegins(const RunStart& start) override;
    DeviceWait AwaitDevice() override;
    void StagesBegin(const std::array<std::string, UPDATE_STAGE_COUNT>& paths) override;
    void StageJudged(int stage, StageImage image) override;
    std::unique_ptr<ImageSendUi> SendDisplay(int stage, std::uint32_t payloadBytes) override;
    void WaitForSender(HANDLE sender) override;
    // The run's end (NimbrelDlgRunEnds.cpp): the window can be closed again, then the closing box.
    void RunEnded(const RunResult& result) override;
    // The end of a run whose image did not reach the device whole, from outside the run's steps (the
    // presence monitor): ends the run, then ExitWithDownloadFailure.
    [[noreturn]] void EndWithDownloadFailure(RunOutcome outcome);
    // The box "USB Download Fail !!! Try Again !", then the end of the program.
    [[noreturn]] void ExitWithDownloadFailure();

    // From the click on Update File until that run's closing box is answered the run's phase is not Idle:
    // a click dispatched inside the run's own waits or boxes must not start a second run inside the first.
    UpdateRun m_run;
    // True while the "TandryUSB.dll unloaded" box is open: ticks dispatched by its own loop stay quiet
    // instead of stacking further boxes on top of it.
    bool m_bLibraryBoxOpen = false;
    RunWindowLock m_runLock;
    TaskbarProgress m_taskbar;
};
