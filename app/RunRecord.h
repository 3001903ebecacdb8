#pragma once

#include "engine/UpdateHistory.h"

#include <cstdint>
#include <optional>
#include <string>

// The history lines of the window's update runs, written at the moments the window learns them. The
// run-start line waits for the identity probe's verdict; a run that ends before the probe writes it at its
// end, with probe=not-run. A stage whose image is in flight when the run ends (the device lost, the session
// ending) gets its line then, with the bytes the device had taken. After the end nothing more is written
// until the next run begins.
class RunRecord {
public:
    // A new run: its duration counts from here.
    void Begin();
    void ProbeDone(bool isOstrel);
    void StageDone(const char* imagePath, StageOutcome outcome, std::uint32_t payloadBytesTaken = 0);
    // The stage's image has been handed to a sender.
    void SendingStage(const char* imagePath);
    // The sender of the stage in flight has finished, judged by the transfer variables.
    void SendingEnded();
    void End(RunOutcome outcome);

private:
    void WriteStart(const char* probeVerdict);

    std::optional<UpdateHistory> m_history; // set from Begin to End
    bool m_bStartWritten = false;
    std::string m_strSendingPath; // the stage in flight; empty when none
};
