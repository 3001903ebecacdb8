// NimbrelCli --json: standard output carries JSON Lines, one object per event, each with "event" and the
// run's id in "run": that of the run the event belongs to (an error after a run: that run's), null for the
// bench's waits and summary and for an error before any run. The events and
// their fields are listed in README.md; every text goes out as UTF-8, converted from the ANSI code page.
#pragma once

#include "engine/ImageFacts.h"
#include "engine/UpdateHistory.h"

#include <cstdint>
#include <string>
#include <vector>

class JsonEvents {
public:
    // Turns the JSON output on for the rest of the process; before that, Active() is null.
    static void Enable();
    static JsonEvents* Active();

    // The run whose id the following events carry, until RunEnd.
    void RunStart(const std::string& runId, const std::string& program, const std::string& version,
                  const std::string& linkLibrary, const std::string& imageFolder, bool lockAbandoned);
    // `text`: the stage text the console shows for it; empty for an image that shows none.
    void Image(const StageImageFacts& facts, const char* file, const std::string& text);
    // At most one event per 1% of the payload or per 250 ms, and always the last byte's.
    void Progress(int stage, std::uint32_t sent, std::uint32_t payload);
    void StageEnd(int stage, const char* file, StageOutcome outcome, std::uint32_t bytesTaken);
    // `stoppedBy` empty unless a stop ended the run; then the images sent whole and those not sent.
    // `refused`: the contents check's word when it refused the images ("signature-bad", ...).
    void RunEnd(RunOutcome outcome, int exitCode, std::uint64_t durationMs, const std::string& stoppedBy,
                const std::vector<std::string>& sentWhole, const std::vector<std::string>& notSent,
                const char* refused = nullptr);
    // `number`: the bench's device (0 for a single update's wait); `what`: "device" or "removal".
    void Waiting(unsigned number, const char* what);
    void Device(unsigned number, const std::string& runId, RunOutcome outcome, bool updated,
                const std::string& said);
    void Summary(unsigned devices, unsigned updated, bool stopped, int exitCode);
    // What the text mode prints on standard error, in the same words.
    void Error(const std::string& message, int exitCode);

    // ANSI (the PC's code page) to UTF-8.
    static std::string Utf8(const std::string& ansi);

private:
    JsonEvents() = default;
    struct Line;
    void Write(Line& line, bool ofRun = true);

    std::string m_runId; // the run that began last; empty: none yet
    int m_progressStage = -1;
    std::uint32_t m_progressSent = 0;
    std::uint64_t m_progressMs = 0;
};
