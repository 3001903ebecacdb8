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
    m_contents = ContentCheck{};
    m_strContentsLine.clear();
}

void RunRecord::WriteStart(const char* probeVerdict) {
    if (!m_history || m_bStartWritten)
        return;
    m_bStartWritten = true;
    const std::string program = ProgramFilePath();
    m_history->RunStarted(ProgramFileVersion(), FindLinkLibraryPath(), probeVerdict,
                          program.substr(FolderOfPath(program).size()), m_bLockAbandoned);
    if (!m_strContentsLine.empty())
        m_history->ContentsChecked(m_strContentsLine);
}

void RunRecord::ContentsChecked(const ContentCheck& check) {
    m_contents = check;
    if (!check.listFound && check.fault == ContentFault::None)
        return;
    std::string line = std::string("list=") + (check.listFound ? MANIFEST_FILE_NAME : "none");
    if (check.listFound)
        line +=
            std::string(" signature=") + (check.signature == SignatureState::Verified ? "verified"
                                          : check.signature == SignatureState::NoKeys ? "not-checked-no-keys"
                                                                                      : "none");
    if (check.fault == ContentFault::None) {
        line += std::string(" verified=") + VerificationWord(check.verification);
    } else {
        line += std::string(" refused=") + ContentFaultWord(check.fault);
        if (check.file >= 0)
            line += std::string(" file=") + IMAGE_FILE_NAMES[check.file];
        if (check.fault == ContentFault::ListInvalid && check.manifest.faultLine > 0)
            line += " line=" + std::to_string(check.manifest.faultLine);
        if (!check.actualSha256.empty())
            line += " expected=" + check.manifest.sha256[check.file] + " actual=" + check.actualSha256;
    }
    m_strContentsLine = line;
}

Verification RunRecord::VerifiedBy(const std::string& imagePath, StageOutcome outcome,
                                   const ImageFingerprint* bytes) const {
    // Ended before their bytes were loaded and compared.
    if (outcome == StageOutcome::NoPipe || outcome == StageOutcome::Stopped)
        return Verification::None;
    const bool sent = outcome == StageOutcome::Sent || outcome == StageOutcome::Failed;
    for (int file = 0; file < IMAGE_FILE_COUNT; ++file) {
        const std::string name = IMAGE_FILE_SUFFIXES[file];
        if (imagePath.size() < name.size() ||
            imagePath.compare(imagePath.size() - name.size(), name.size(), name) != 0)
            continue;
        if (sent || (bytes && !bytes->sha256.empty() && bytes->sha256 == m_contents.manifest.sha256[file]))
            return VerificationOf(m_contents, file);
        return Verification::None;
    }
    return Verification::None;
}

void RunRecord::ProbeDone(bool isOstrel) {
    WriteStart(isOstrel ? "ostrel" : "not-ostrel");
}

void RunRecord::StageDone(const std::string& imagePath, StageOutcome outcome, const ImageFingerprint* bytes) {
    if (!m_history)
        return;
    m_history->StageDone(imagePath, outcome, 0, bytes, VerifiedBy(imagePath, outcome, bytes));
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

void RunRecord::SendingEnded(bool senderEnded) {
    if (m_strSendingPath.empty())
        return;
    // Read while the sender may still be counting when the run ends during the transfer: g_cbSent is
    // atomic, and a sender that has raised g_bTransferDone has written its verdict before.
    const bool sent = g_bTransferDone.load() != 0 && g_bTransferFailed.load() == 0;
    const StageOutcome outcome = sent ? StageOutcome::Sent : StageOutcome::Failed;
    const std::uint32_t taken = g_cbSent.load();
    if (m_history)
        m_history->StageDone(m_strSendingPath, outcome, taken, &m_sending,
                             VerifiedBy(m_strSendingPath, StageOutcome::Sent, &m_sending), senderEnded);
    m_strSendingPath.clear();
    TellStageEnded(outcome, taken);
}

void RunRecord::End(RunOutcome outcome, bool senderEnded) {
    if (!m_history)
        return;
    WriteStart("not-run");
    SendingEnded(senderEnded);
    m_history->RunEnded(outcome);
    m_history.reset();
    m_stageEnded = nullptr;
}
