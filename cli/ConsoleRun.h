// The console's part of an update run: it waits for the device, prints a line per stage and the transfer's
// progress, and watches for Ctrl+C and the stop event while a sender runs. The run itself is the engine's.
#pragma once

#include "cli/CliOptions.h"
#include "cli/CliTexts.h"
#include "engine/UpdateRun.h"

#include <string>

// The file name of a stage's image.
const char* StageFileName(int stage);

// A run's end in words, and the exit code of a single update that ended so.
struct RunVerdict {
    int exitCode = 0;
    std::string text; // a completed run's: "4 images sent"
};

// `waitSeconds`: how long the run waited for the device, for the words of a device not found.
RunVerdict DescribeRun(const RunResult& result, unsigned waitSeconds);

class ConsoleRun : public UpdateRunFrontEnd {
public:
    ConsoleRun(const CliOptions& options, const CliTexts& texts) : m_options(options), m_texts(texts) {}

    // Checks for the device until it answers or --wait is over; at least once.
    DeviceWait AwaitDevice() override;
    // One line: how the images' contents are verified, or that they are not.
    void ContentsChecked(const ContentCheck& check) override;
    bool SendsImages() const override { return !m_options.check; }
    void StageJudged(int stage, StageImage image) override;
    bool ChecksBattery() const override { return !m_options.allowBattery; }
    bool StopRequested() override;
    std::unique_ptr<ImageSendUi> SendDisplay(int stage, std::uint32_t payloadBytes) override;
    void WaitForSender(HANDLE sender) override;

protected:
    const CliOptions& m_options;
    const CliTexts& m_texts;
    ContentCheck m_contents;
};
