// An update run as the rest of the system sees it: its start and its ends, what the window answers when
// Windows wants to end the session meanwhile, and the taskbar button that mirrors it.
#include "app/NimbrelDlg.h"
#include "texts/TextKeys.h"

#include <cstdlib>
#include <string>

void CNimbrelDlg::BeginRun() {
    m_runRecord.Begin();
    std::string reason = GetLangText(TEXT_SECTION_MESSAGE, TEXT_SHUTDOWN_REASON);
    if (reason.empty())
        reason = SHUTDOWN_REASON_DEFAULT_TEXT;
    m_runLock.Engage(*this, reason.c_str());
}

void CNimbrelDlg::EndRun(RunOutcome outcome) {
    if (!m_runLock.Engaged())
        return;
    m_runRecord.End(outcome);
    m_runLock.Release();
    // A failed transfer stays red on the taskbar while its box is up.
    if (!m_taskbar.ShowsFailure())
        m_taskbar.Clear();
}

void CNimbrelDlg::EndWithDownloadFailure(RunOutcome outcome) {
    // Cleared first, so that a tick dispatched by the box below does not show it a second time.
    m_bUpdating = 0;
    m_taskbar.ShowFailed();
    // The history's line is written before the box: the user may end the program from there, or the
    // session may end.
    EndRun(outcome);
    AfxMessageBox(DOWNLOAD_FAILED_TEXT, MB_OK | MB_ICONHAND);
    m_taskbar.Clear();
    std::exit(0);
}

BOOL CNimbrelDlg::OnQueryEndSession() {
    // An image cut off halfway can leave a device that no longer starts. Windows shows the reason that the
    // run registered, and the user decides.
    return m_runLock.Engaged() ? FALSE : TRUE;
}

void CNimbrelDlg::OnEndSession(BOOL bEnding) {
    // The session ends anyway (forced, or the user overrode the refusal), and the process with it once this
    // returns. What is ours to leave whole is the history: the run's end goes in now, as one whole line, and
    // the file is closed again. Nothing else of ours is being written: the image files are only read, and
    // the program stores nothing else. The image in flight is cut off as by an unplug; the history says so,
    // with the bytes the device had taken.
    if (bEnding)
        EndRun(RunOutcome::Interrupted);
}

LRESULT CNimbrelDlg::OnTaskbarButtonCreated(WPARAM, LPARAM) {
    m_taskbar.ButtonCreated(GetSafeHwnd());
    return 0;
}
