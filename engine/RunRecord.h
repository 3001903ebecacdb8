#pragma once

#include "engine/ImageContents.h"
#include "engine/UpdateHistory.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The history lines of one update run, written at the moments the run learns them. The run-start line waits
// for the identity probe's verdict; a run that ends before the probe writes it at its end, with
// probe=not-run. A stage whose image is in flight when the run ends (the device lost, the session ending)
// gets its line then, with the bytes the device had taken. After the end nothing more is written until the
// next run begins.
class RunRecord {
public:
    // Told of each stage's end as its line is written: the outcome and the payload bytes the device took.
    using StageEnded = std::function<void(StageOutcome outcome, std::uint32_t bytesTaken)>;

    // A new run: its duration counts from here, and `runId` heads its lines. `lockAbandoned`: the run took
    // the update lock from a program that died holding it.
    void Begin(const std::string& runId, bool lockAbandoned, StageEnded stageEnded = {});
    void ProbeDone(bool isOstrel);
    // The images' contents were checked: the contents line follows the run-start line when the folder has
    // a list or the check refused; each stage line says how its file's bytes were verified.
    void ContentsChecked(const ContentCheck& check);
    // `bytes`: the fingerprint of the bytes loaded, when the stage got so far.
    void StageDone(const std::string& imagePath, StageOutcome outcome,
                   const ImageFingerprint* bytes = nullptr);
    // The stage's image, of which `sent` is the fingerprint, has been handed to a sender.
    void SendingStage(const std::string& imagePath, ImageFingerprint sent);
    // The sender of the stage in flight has finished, judged by the transfer variables; `senderEnded` false:
    // its thread had not ended when the run was ended from outside (the line says sender=not-ended).
    void SendingEnded(bool senderEnded = true);
    void End(RunOutcome outcome, bool senderEnded = true);

private:
    void WriteStart(const char* probeVerdict);
    // How the bytes of the line were verified: a stage that sent compared its loaded bytes with the list; one
    // that did not claims only what its line's fingerprint shows against the list.
    Verification VerifiedBy(const std::string& imagePath, StageOutcome outcome,
                            const ImageFingerprint* bytes) const;

    void TellStageEnded(StageOutcome outcome, std::uint32_t bytesTaken) const;

    std::optional<UpdateHistory> m_history; // set from Begin to End
    StageEnded m_stageEnded;
    bool m_bStartWritten = false;
    bool m_bLockAbandoned = false;
    std::string m_strSendingPath; // the stage in flight; empty when none
    ImageFingerprint m_sending;
    ContentCheck m_contents;
    std::string m_strContentsLine; // empty: none to write
};
