#include "app/RunRecord.h"

#include "app/ProgramVersion.h"
#include "engine/TransferState.h"
#include "link/DeviceLink.h"

void RunRecord::Begin() {
    m_history.emplace();
    m_bStartWritten = false;
    m_strSendingPath.clear();
}

void RunRecord::WriteStart(const char* probeVerdict) {
    if (!m_history || m_bStartWritten)
        return;
    m_bStartWritten = true;
    m_history->RunStarted(ProgramFileVersion(), FindLinkLibraryPath(), probeVerdict);
}

void RunRecord::ProbeDone(bool isOstrel) {
    WriteStart(isOstrel ? "ostrel" : "not-ostrel");
}

void RunRecord::StageDone(const char* imagePath, StageOutcome outcome, std::uint32_t payloadBytesTaken) {
    if (m_history)
        m_history->StageDone(imagePath, outcome, payloadBytesTaken);
}

void RunRecord::SendingStage(const char* imagePath) {
    m_strSendingPath = imagePath;
}

void RunRecord::SendingEnded() {
    if (m_strSendingPath.empty())
        return;
    // Read while the sender may still be counting when the run ends during the transfer: g_cbSent is
    // atomic, and a sender that has raised g_bTransferDone has written its verdict before.
    const bool sent = g_bTransferDone.load() != 0 && g_bTransferFailed.load() == 0;
    StageDone(m_strSendingPath.c_str(), sent ? StageOutcome::Sent : StageOutcome::Failed, g_cbSent.load());
    m_strSendingPath.clear();
}

void RunRecord::End(RunOutcome outcome) {
    if (!m_history)
        return;
    WriteStart("not-run");
    SendingEnded();
    m_history->RunEnded(outcome);
    m_history.reset();
}
