#include "engine/RunRecord.h"

#include "engine/TransferState.h"
#include "system/Paths.h"
#include "system/ProgramVersion.h"
#include "link/DeviceLink.h"

#include <utility>

void RunRecord::Begin(const std::string& runId, bool lockAbandoned, StageEnded stageEnded) {
    m_history.emplace(DefaultHistoryFolder(), runId);
    m_stageEnded = std::move(stageEnded);
    m_bStartWritten = false;
    m_bLockAbandoned = lockAbandoned;
    m_strSendingPath.clear();
}

void RunRecord::WriteStart(const char* probeVerdict) {
    if (!m_history || m_bStartWritten)
        return;
    m_bStartWritten = true;
    const std::string program = ProgramFilePath();
    m_history->RunStarted(ProgramFileVersion(), FindLinkLibraryPath(), probeVerdict,
                          program.substr(FolderOfPath(program).size()), m_bLockAbandoned);
}

void RunRecord::ProbeDone(bool isOstrel) {
    WriteStart(isOstrel ? "ostrel" : "not-ostrel");
}

void RunRecord::StageDone(const std::string& imagePath, StageOutcome outcome, const ImageFingerprint* file) {
    if (!m_history)
        return;
    m_history->StageDone(imagePath, outcome, 0, file);
    TellStageEnded(outcome, 0);
}

void RunRecord::TellStageEnded(StageOutcome outcome, std::uint32_t bytesTaken) const {
    if (m_stageEnded)
        m_stageEnded(outcome, bytesTaken);
}

void RunRecord::SendingStage(const std::string& imagePath, ImageFingerprint sent) {
    m_strSendingPath = imagePath;
    m_sending = std::move(sent);
}

void RunRecord::SendingEnded() {
    if (m_strSendingPath.empty())
        return;
    // Read while the sender may still be counting when the run ends during the transfer: g_cbSent is
    // atomic, and a sender that has raised g_bTransferDone has written its verdict before.
    const bool sent = g_bTransferDone.load() != 0 && g_bTransferFailed.load() == 0;
    const StageOutcome outcome = sent ? StageOutcome::Sent : StageOutcome::Failed;
    const std::uint32_t taken = g_cbSent.load();
    if (m_history)
        m_history->StageDone(m_strSendingPath, outcome, taken, &m_sending);
    m_strSendingPath.clear();
    TellStageEnded(outcome, taken);
}

void RunRecord::End(RunOutcome outcome) {
    if (!m_history)
        return;
    WriteStart("not-run");
    SendingEnded();
    m_history->RunEnded(outcome);
    m_history.reset();
    m_stageEnded = nullptr;
}
