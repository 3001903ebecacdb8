// The update run behind the Update File button: the start checks, the identity probe, then the four stages in
// their fixed order, each judged, loaded, handed to an image sender and waited for while the window keeps
// handling its messages. The steps themselves are the engine's and the link's; this file does the window's
// part: texts, boxes, the bar, the timer and the program's end.
#include "app/MainWindowSendUi.h"
#include "app/NimbrelDlg.h"
#include "app/ProgressSetup.h"
#include "engine/ImageSendThread.h"
#include "engine/TransferState.h"
#include "engine/UpdateStages.h"
#include "framework/OwnedThread.h"
#include "framework/Paths.h"
#include "link/DeviceLink.h"
#include "link/IdentityProbe.h"
#include "texts/TextKeys.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

static_assert(CNimbrelDlg::STAGE_COUNT == UPDATE_STAGE_COUNT, "one image flag and path per stage");

namespace {

// Clears a flag when the scope ends, whichever way it ends.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~FlagScope() { m_flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

void CNimbrelDlg::OnUpdateFile() {
    // A click dispatched inside this run's waits or boxes would otherwise start a second run inside it.
    if (m_bRunActive)
        return;
    FlagScope runActive(m_bRunActive);
    BeginRun();

    // Every way out of the run below clears m_bUpdating and ends the run before its closing box: from then on
    // a lost device is an ordinary unplug, not a failed download, and the window can be closed again.
    auto endRun = [this](RunOutcome outcome) {
        m_bUpdating = 0;
        EndRun(outcome);
    };
    auto endRunWithMessage = [&](RunOutcome outcome, LPCTSTR key) {
        endRun(outcome);
        ShowMessage(key);
    };

    if (!m_bDeviceLinked) {
        endRunWithMessage(RunOutcome::NotLinked, TEXT_NO_DEVICE);
        return;
    }
    // Opens "PIPE00" for the probe or a stage; a run that cannot have it ends with the message that says why.
    auto openDataPipe = [&](UniqueHandle& pipe) {
        LinkOpenResult opened = OpenDataPipe();
        if (!opened.libraryLoaded) {
            endRunWithMessage(RunOutcome::NoLinkLibrary, TEXT_NO_LINK_LIBRARY);
            return false;
        }
        if (!opened.handle.IsValid()) {
            endRunWithMessage(RunOutcome::NoPipe, TEXT_NO_DEVICE);
            return false;
        }
        pipe = std::move(opened.handle);
        return true;
    };

    {
        UniqueHandle probePipe;
        if (!openDataPipe(probePipe))
            return;
        const bool isOstrel = ProbeDeviceIdentity(probePipe.Get(), this);
        m_runRecord.ProbeDone(isOstrel);
        if (!isOstrel) {
            endRun(RunOutcome::WrongModel);
            AfxMessageBox(NOT_OSTREL_TEXT, MB_OK | MB_ICONHAND);
            std::exit(0);
        }
        // The probe's pipe handle is closed here: the stages open their own.
    }

    // A path that does not fit is never cut: the stage keeps an empty path and counts as having no image.
    const auto paths = BuildImagePaths();
    for (int stage = 0; stage < STAGE_COUNT; ++stage)
        m_strImagePath[stage] = paths[UPDATE_STAGES[stage].file].c_str();

    ResetProgressBar(m_ctrlProgress);
    GetDlgItem(IDC_STAGE_TEXT)->SetWindowText("");
    GetDlgItem(IDC_RESULT_TEXT)->SetWindowText("");
    UpdateData(FALSE);
    m_bUpdating = 1;

    for (int stage = 0; stage < STAGE_COUNT; ++stage) {
        if (stage > 0)
            g_bTransferDone.store(0);

        const char* path = m_strImagePath[stage];
        m_bImageFound[stage] = 1;
        const StageImage image = JudgeStageImage(path);
        if (image == StageImage::Absent) {
            m_bImageFound[stage] = 0;
            m_runRecord.StageDone(path, StageOutcome::Absent);
            continue;
        }
        // The file was opened, so its flag stays set; with no memory to judge it, the run ends as when the
        // image cannot be loaded, without a word.
        if (image == StageImage::NotLoaded) {
            m_runRecord.StageDone(path, StageOutcome::NotLoaded);
            endRun(RunOutcome::ImageNotLoaded);
            return;
        }
        if (image == StageImage::TooShort) {
            m_runRecord.StageDone(path, StageOutcome::RefusedTooShort);
            endRunWithMessage(RunOutcome::Refused, TEXT_TOO_SHORT);
            return;
        }
        if (image == StageImage::BadMark) {
            m_runRecord.StageDone(path, StageOutcome::RefusedBadMark);
            endRunWithMessage(RunOutcome::Refused, TEXT_BAD_MARK);
            return;
        }
        if (stage > 0) {
            ResetProgressBar(m_ctrlProgress);
            GetDlgItem(IDC_STAGE_TEXT)->SetWindowText("");
            GetDlgItem(IDC_RESULT_TEXT)->SetWindowText("");
        }
        char szStageText[PATH_BUFFER_SIZE];
        std::snprintf(szStageText, sizeof(szStageText), "%s",
                      GetLangText(TEXT_SECTION_MESSAGE, UPDATE_STAGES[stage].textKey));
        GetDlgItem(IDC_STAGE_TEXT)->SetWindowText(szStageText);

        if (image == StageImage::NotMarked) {
            m_runRecord.StageDone(path, StageOutcome::NotMarked);
            continue;
        }

        // The sender needs an open pipe; a stage whose pipe cannot be opened stops the run as at its start.
        UniqueHandle pipe;
        if (!openDataPipe(pipe))
            return;

        CHeapBuffer imageData;
        std::uint32_t cbImage = 0;
        if (!LoadWholeImage(path, imageData, cbImage)) {
            m_runRecord.StageDone(path, StageOutcome::NotLoaded);
            endRun(RunOutcome::ImageNotLoaded);
            return;
        }

        SetTimer(PresenceTimer, PRESENCE_LINKED_MS, nullptr);

        MainWindowSendUi ui(*this);
        const auto sender = StartImageSender(ui, std::move(pipe), std::move(imageData), cbImage);
        if (!sender) {
            endRun(RunOutcome::NoSender);
            return;
        }
        m_runRecord.SendingStage(path);
        // The taskbar follows the bar from the window's thread, which owns the taskbar object.
        const auto mirrorBar = [this] { m_taskbar.ShowPosition(m_ctrlProgress.GetPos()); };
        mirrorBar();
        // The wait also leaves when the sender has raised g_bTransferDone but not yet returned; its last
        // steps touch nothing of ours.
        WaitPumpingMessages(sender->m_hThread, [&] {
            mirrorBar();
            return g_bTransferDone.load() != 0;
        });
        mirrorBar();
        m_runRecord.SendingEnded();

        if (g_bTransferDone.load() != 0 && g_bTransferFailed.load() != 0) {
            // The device did not take the whole image. Most often it was pulled out, and the sender saw that
            // before the next tick: look once now, so that the status shows the loss before the box and a
            // lost device takes the monitor's own end. A device still there ends the run the same way.
            CheckDevicePresence();
            EndWithDownloadFailure(RunOutcome::TransferFailed);
        }
    }
    endRun(RunOutcome::Completed);
}
