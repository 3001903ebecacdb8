// The window's part of the update run behind the Update File button. The run itself (the lock, the identity
// probe, the four stages in their fixed order) is the engine's; this file shows it in the window: the image
// paths, the bar, the stage texts, the presence timer, and the waits that keep handling the window's
// messages while a sender runs.
#include "app/MainWindowSendUi.h"
#include "app/NimbrelDlg.h"
#include "app/ProgressSetup.h"
#include "engine/TransferState.h"
#include "framework/OwnedThread.h"
#include "system/Paths.h"
#include "texts/TextKeys.h"

#include <cstdio>
#include <string>

static_assert(CNimbrelDlg::STAGE_COUNT == UPDATE_STAGE_COUNT, "one image flag and path per stage");

void CNimbrelDlg::OnUpdateFile() {
    // A click dispatched inside this run's waits or boxes would otherwise start a second run inside it.
    if (m_run.Phase() != RunPhase::Idle)
        return;
    // The run's own ends show their boxes when it ends (RunEnded); a run that never began says why here.
    if (m_run.Run(*this).outcome == RunOutcome::AnotherRun)
        ShowMessage(TEXT_ANOTHER_RUN, ANOTHER_RUN_DEFAULT_TEXT);
}

void CNimbrelDlg::RunBegins(const RunStart& /*start*/) {
    std::string reason = GetLangText(TEXT_SECTION_MESSAGE, TEXT_SHUTDOWN_REASON);
    if (reason.empty())
        reason = SHUTDOWN_REASON_DEFAULT_TEXT;
    m_runLock.Engage(*this, reason.c_str());
}

DeviceWait CNimbrelDlg::AwaitDevice() {
    return m_bDeviceLinked ? DeviceWait::Present : DeviceWait::Absent;
}

void CNimbrelDlg::StagesBegin(const std::array<std::string, UPDATE_STAGE_COUNT>& paths) {
    for (int stage = 0; stage < STAGE_COUNT; ++stage)
        m_strImagePath[stage] = paths[stage].c_str();
    ResetProgressBar(m_ctrlProgress);
    GetDlgItem(IDC_STAGE_TEXT)->SetWindowText("");
    GetDlgItem(IDC_RESULT_TEXT)->SetWindowText("");
    UpdateData(FALSE);
    m_bUpdating = 1;
}

void CNimbrelDlg::StageJudged(int stage, StageImage image) {
    // The file was opened unless it is absent or in use, even when there was no memory to judge it.
    m_bImageFound[stage] = image == StageImage::Absent || image == StageImage::InUse ? 0 : 1;
    if (image != StageImage::NotMarked && image != StageImage::ToSend)
        return;
    if (stage > 0) {
        ResetProgressBar(m_ctrlProgress);
        GetDlgItem(IDC_STAGE_TEXT)->SetWindowText("");
        GetDlgItem(IDC_RESULT_TEXT)->SetWindowText("");
    }
    char szStageText[PATH_BUFFER_SIZE];
    std::snprintf(szStageText, sizeof(szStageText), "%s",
                  GetLangText(TEXT_SECTION_MESSAGE, UPDATE_STAGES[stage].textKey));
    GetDlgItem(IDC_STAGE_TEXT)->SetWindowText(szStageText);
}

std::unique_ptr<ImageSendUi> CNimbrelDlg::SendDisplay(int, std::uint32_t) {
    SetTimer(PresenceTimer, PRESENCE_LINKED_MS, nullptr);
    return std::make_unique<MainWindowSendUi>(*this);
}

void CNimbrelDlg::WaitForSender(HANDLE sender) {
    // The taskbar follows the bar from the window's thread, which owns the taskbar object.
    const auto mirrorBar = [this] { m_taskbar.ShowPosition(m_ctrlProgress.GetPos()); };
    mirrorBar();
    // The wait also leaves when the sender has raised g_bTransferDone but not yet returned; its last steps
    // touch nothing of ours.
    WaitPumpingMessages(sender, [&] {
        mirrorBar();
        return g_bTransferDone.load() != 0;
    });
    mirrorBar();
    // The device did not take the whole image. Most often it was pulled out, and the sender saw that before
    // the next tick: look once now, so that the status shows the loss before the box and a lost device takes
    // the monitor's own end. A device still there ends the run as a failed transfer.
    if (g_bTransferDone.load() != 0 && g_bTransferFailed.load() != 0)
        CheckDevicePresence();
}
