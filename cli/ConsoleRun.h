// The console's part of an update run: it waits for the device, prints a line per stage and the transfer's
// progress, and watches for Ctrl+C and the stop event while a sender runs. The run itself is the engine's.
#pragma once

#include "cli/CliOptions.h"
#include "cli/CliTexts.h"
#include "cli/JsonEvents.h"
#include "engine/UpdateRun.h"

#include <optional>
#include <string>
#include <vector>

// The file name of a stage's image.
const char* StageFileName(int stage);

// A run's end in words, and the exit code of a single update that ended so.
struct RunVerdict {
    int exitCode = 0;
    std::string text; // a completed run's: "4 images sent"
};

// `waitSeconds`: how long the run waited for the device, for the words of a device not found.
RunVerdict DescribeRun(const RunResult& result, unsigned waitSeconds);

// The images of a stopped run: those the device took whole, and those present and marked for sending that
// it did not (the one cut off included).
struct ImagesAtStop {
    std::vector<std::string> sentWhole;
    std::vector<std::string> notSent;
};
ImagesAtStop ImagesOfStoppedRun(const RunResult& result);

class ConsoleRun : public UpdateRunFrontEnd {
public:
    ConsoleRun(const CliOptions& options, const CliTexts& texts)
        : m_options(options), m_texts(texts), m_pJson(JsonEvents::Active()) {}

    // The run's id as the first line of its output ("Run <id>"), or its run-start event.
    void RunBegins(const RunStart& start) override;
    // Checks for the device until it answers or --wait is over; at least once.
    DeviceWait AwaitDevice() override;
    // One line: how the images' contents are verified, or that they are not.
    void ContentsChecked(const ContentCheck& check) override;
    bool SendsImages() const override { return !m_options.check; }
    void StageJudged(int stage, StageImage image) override;
    void StageImageKnown(const StageImageFacts& facts) override;
    void StageEnded(StageOutcome outcome, std::uint32_t bytesTaken) override;
    void RunEnded(const RunResult& result) override;
    bool ChecksBattery() const override { return !m_options.allowBattery; }
    bool StopRequested() override;
    std::unique_ptr<ImageSendUi> SendDisplay(int stage, std::uint32_t payloadBytes) override;
    void WaitForSender(HANDLE sender) override;

    // How the run ended, once it has: the same words as its error event; null before.
    const RunVerdict* EndVerdict() const { return m_ended ? &*m_ended : nullptr; }

protected:
    // Prints the line that names the run.
    virtual void SayRunId(const std::string& line);

    const CliOptions& m_options;
    const CliTexts& m_texts;
    ContentCheck m_contents;   // the check before the device, for what a stage's absent image means
    JsonEvents* const m_pJson; // null: text for people
    int m_stage = -1;          // the stage judged last
    ULONGLONG m_startedMs = 0;
    bool m_bErrorEvent = true;     // a failed run's error event precedes its end (the bench's device event
                                   // says it instead)
    bool m_bCheckLineOpen = false; // --check: the stage's line waits for the comparison's verdict
    std::optional<RunVerdict> m_ended;
};
