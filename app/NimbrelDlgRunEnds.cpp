// An update run's ends as the window shows them, what the window answers when Windows wants to end the
// session meanwhile, and the taskbar button that mirrors the run.
#include "app/NimbrelDlg.h"
#include "texts/TextKeys.h"

#include <cstdlib>
#include <string>

void CNimbrelDlg::RunEnded(const RunResult& result) {
    // From here a lost device is an ordinary unplug, not a failed download, and the window can be closed.
    m_bUpdating = 0;
    m_runLock.Release();
    switch (result.outcome) {
    case RunOutcome::TransferFailed:
    case RunOutcome::DeviceLost:
        ExitWithDownloadFailure();
    case RunOutcome::WrongModel:
        m_taskbar.Clear();
        AfxMessageBox(NOT_OSTREL_TEXT, MB_OK | MB_ICONHAND);
        std::exit(0);
    default:
        break;
    }
    m_taskbar.Clear();
    switch (result.outcome) {
    case RunOutcome::NotLinked:
    case RunOutcome::NoPipe:
        ShowMessage(TEXT_NO_DEVICE);
        break;
    case RunOutcome::NoLinkLibrary:
        ShowMessage(TEXT_NO_LINK_LIBRARY);
        break;
    case RunOutcome::Refused:
        ShowMessage(result.image == StageImage::TooShort ? TEXT_TOO_SHORT : TEXT_BAD_MARK);
        break;
    case RunOutcome::LowBattery:
        ShowMessage(TEXT_LOW_BATTERY, LOW_BATTERY_DEFAULT_TEXT);
        break;
    case RunOutcome::NotVerified:
        // The file (or the list's line) and what was wrong, so that the user knows what to download again.
        // [message] 1038 says that nothing was sent: after images were sent, the box says which.
        if (result.sentStages.empty())
            ShowDetailedMessage(TEXT_NOT_VERIFIED, NOT_VERIFIED_DEFAULT_TEXT,
                                DescribeContentFault(result.contents, false) + ".");
        else
            ShowDetailedMessage(TEXT_NOT_VERIFIED_AFTER_SENDING, NOT_VERIFIED_AFTER_SENDING_DEFAULT_TEXT,
                                DescribeContentFault(result.contents, false) + ".\n\n" + SentBefore(result));
        break;
    case RunOutcome::ImageInUse: {
        const int file = result.stage >= 0 ? UPDATE_STAGES[result.stage].file : result.contents.file;
        ShowDetailedMessage(TEXT_IMAGE_IN_USE, IMAGE_IN_USE_DEFAULT_TEXT,
                            std::string(IMAGE_FILE_NAMES[file < 0 ? 0 : file]) +
                                " is in use by another program.\n\n" + SentBefore(result));
        break;
    }
    default:
        // Completed, and the ends that say nothing: an image that could not be loaded, no sender thread, the
        // session ending.
        break;
    }
}

void CNimbrelDlg::ShowDetailedMessage(LPCTSTR lpszKey, const char* fallback, const std::string& detail) {
    const char* text = GetLangText(TEXT_SECTION_MESSAGE, lpszKey);
    const std::string box = std::string(text[0] != '\0' ? text : fallback) + "\n\n" + detail;
    AfxMessageBox(box.c_str(), MB_OK, 0);
}

std::string CNimbrelDlg::SentBefore(const RunResult& result) {
    if (result.sentStages.empty())
        return "Nothing was sent to the device.";
    std::string names;
    for (const int stage : result.sentStages)
        names += std::string(names.empty() ? "" : ", ") + IMAGE_FILE_NAMES[UPDATE_STAGES[stage].file];
    return "Sent to the device before it: " + names + ".";
}

void CNimbrelDlg::EndWithDownloadFailure(RunOutcome outcome) {
    // Cleared first, so that a tick dispatched by the box below does not show it a second time.
    m_bUpdating = 0;
    // The history's lines are written before the box: the user may end the program from there, or the
    // session may end. The run's end shows the box (RunEnded) and does not come back.
    m_run.End(outcome);
    ExitWithDownloadFailure();
}

void CNimbrelDlg::ExitWithDownloadFailure() {
    m_taskbar.ShowFailed();
    AfxMessageBox(DOWNLOAD_FAILED_TEXT, MB_OK | MB_ICONHAND);
    m_taskbar.Clear();
    std::exit(0);
}

BOOL CNimbrelDlg::OnQueryEndSession() {
    // An image cut off halfway can leave a device that no longer starts. Windows shows the reason that the
    // run registered, and the user decides.
    return m_run.InProgress() ? FALSE : TRUE;
}

void CNimbrelDlg::OnEndSession(BOOL bEnding) {
    // The session ends anyway (forced, or the user overrode the refusal), and the process with it once this
    // returns. What is ours to leave whole is the history: the run's end goes in now, as one whole line, and
    // the file is closed again. Nothing else of ours is being written: the image files are only read, and
    // the program stores nothing else. The image in flight is cut off as by an unplug; the history says so,
    // with the bytes the device had taken.
    if (bEnding)
        m_run.End(RunOutcome::Interrupted);
}

LRESULT CNimbrelDlg::OnTaskbarButtonCreated(WPARAM, LPARAM) {
    m_taskbar.ButtonCreated(GetSafeHwnd());
    return 0;
}
