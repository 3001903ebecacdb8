// The service bench: device after device from one console. The loop waits for devices and for their removal;
// each device's update is one run of the engine, so the lock, the probe, the stages and the history are those
// of a single update.
#include "cli/EachDevice.h"

#include "cli/CliExit.h"
#include "cli/CliInterrupt.h"
#include "cli/ConsoleProgress.h"
#include "cli/ConsoleRun.h"
#include "engine/ImageCheck.h"
#include "cli/InPlaceLine.h"
#include "cli/JsonEvents.h"
#include "engine/PowerCheck.h"
#include "link/DeviceLink.h"
#include "link/PresenceCheck.h"
#include "link/ProbeState.h"

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>

namespace {

// Short enough that a bench operator sees no lag; the presence check only opens and closes a handle.
constexpr DWORD PRESENCE_POLL_MS = 100;

// The console's front end for one device of the bench: the loop has waited for the device already, and on a
// console the device's stages and progress share its one line.
class DeviceRun final : public ConsoleRun {
public:
    DeviceRun(const CliOptions& options, const CliTexts& texts, unsigned number, InPlaceLine* line)
        : ConsoleRun(options, texts), m_number(number), m_pLine(line) {
        m_bErrorEvent = false;
    }

    // Every device of the bench is a new one and must answer as an Ostrel itself. The probe's verdict
    // outlives a run (a window keeps a device it identified once), so a device of another model after an
    // Ostrel would otherwise pass, and be sent the images.
    void RunBegins(const RunStart& start) override {
        g_bDeviceIdentified.store(0);
        ConsoleRun::RunBegins(start);
    }

    // The bench said once, before the first device, how the contents are verified.
    void ContentsChecked(const ContentCheck&) override {}

    // A single look: the device was there a moment ago, and one that has gone again is not waited for.
    DeviceWait AwaitDevice() override {
        switch (FindDevice()) {
        case DevicePresence::Present:
            return DeviceWait::Present;
        case DevicePresence::LibraryMissing:
            return DeviceWait::LibraryMissing;
        default:
            return DeviceWait::Absent;
        }
    }

    void StageJudged(int stage, StageImage image) override {
        m_stage = stage;
        if (!m_pLine) {
            ConsoleRun::StageJudged(stage, image);
            return;
        }
        m_label = "device " + std::to_string(m_number) + ": [" + std::to_string(stage + 1) + "/" +
                  std::to_string(UPDATE_STAGE_COUNT) + "] " + StageFileName(stage);
        m_pLine->Show(m_label);
    }

    std::unique_ptr<ImageSendUi> SendDisplay(int stage, std::uint32_t payloadBytes) override {
        if (!m_pLine)
            return ConsoleRun::SendDisplay(stage, payloadBytes);
        return std::make_unique<ConsoleProgress>(payloadBytes, *m_pLine, m_label);
    }

protected:
    // On a console the run's line takes the place of the wait's.
    void SayRunId(const std::string& line) override {
        if (m_pLine)
            m_pLine->Close(line);
        else
            ConsoleRun::SayRunId(line);
    }

private:
    unsigned m_number;
    InPlaceLine* m_pLine;
    std::string m_label;
};

enum class Waited { Done, Stopped, NoLinkLibrary };

// Polls the device until it is `present` (or gone), without limit. On a console the line shows `what` and how
// long the wait has lasted; elsewhere `what` is one plain line, or with --json a waiting event for device
// `number`. Ctrl+C and the stop event end it at once.
Waited WaitForDevice(bool present, unsigned number, const std::string& what, InPlaceLine* line) {
    const ULONGLONG start = ::GetTickCount64();
    ULONGLONG shownSeconds = ~0ULL;
    if (JsonEvents* json = JsonEvents::Active()) {
        json->Waiting(number, present ? "device" : "removal");
    } else if (!line) {
        std::printf("%s\n", what.c_str());
        std::fflush(stdout);
    }
    for (;;) {
        if (InterruptRequested())
            return Waited::Stopped;
        const DevicePresence presence = FindDevice();
        if (presence == DevicePresence::LibraryMissing)
            return Waited::NoLinkLibrary;
        if ((presence == DevicePresence::Present) == present)
            return Waited::Done;
        const ULONGLONG seconds = (::GetTickCount64() - start) / 1000;
        if (line && seconds != shownSeconds) {
            line->Show(what + " " + std::to_string(seconds) + " s");
            shownSeconds = seconds;
        }
        ::Sleep(PRESENCE_POLL_MS);
    }
}

// Outcomes that every later device would meet as well: the loop ends with the outcome's own exit code.
bool FailsEveryLaterDevice(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Refused:        // an image changed since the check at the start
    case RunOutcome::NotVerified:    // the same, found by the checksum list
    case RunOutcome::ImageNotLoaded: // the same, or no memory to load it
    case RunOutcome::AnotherRun:     // another program is updating the bench's device
    case RunOutcome::LowBattery:
    case RunOutcome::NoLinkLibrary:
        return true;
    default:
        return false;
    }
}

std::string StageList(const std::vector<int>& stages) {
    std::string list;
    for (const int stage : stages)
        list += (list.empty() ? "" : ", ") + std::string(StageFileName(stage));
    return list;
}

} // namespace

int UpdateEachDevice(const CliOptions& options, const CliTexts& texts) {
    const ImageCheck images = CheckImagesOnce();
    if (images.rejectedStage >= 0) {
        RunResult refused;
        refused.outcome = images.rejected == StageImage::NotLoaded ? RunOutcome::ImageNotLoaded
                          : images.rejected == StageImage::InUse   ? RunOutcome::ImageInUse
                                                                   : RunOutcome::Refused;
        refused.stage = images.rejectedStage;
        refused.image = images.rejected;
        return CliFail(CLI_EXIT_IMAGE_REJECTED, "%s; no device was touched",
                       DescribeRun(refused, 0).text.c_str());
    }
    if (images.contents.fault != ContentFault::None) {
        RunResult refused;
        refused.outcome = RunOutcome::NotVerified;
        refused.contents = images.contents;
        return CliFail(CLI_EXIT_IMAGE_REJECTED, "%s", DescribeRun(refused, 0).text.c_str());
    }
    // A bench that sends nothing would call every device updated.
    if (images.stagesToSend.empty())
        return CliFail(CLI_EXIT_USAGE, "no image file present and marked for sending in this folder");
    if (!options.allowBattery && BatteryTooLowToUpdate()) {
        RunResult low;
        low.outcome = RunOutcome::LowBattery;
        return CliFail(CLI_EXIT_LOW_BATTERY, "%s", DescribeRun(low, 0).text.c_str());
    }
    JsonEvents* const json = JsonEvents::Active();
    if (!json) {
        std::printf("Images to send to each device: %s\n", StageList(images.stagesToSend).c_str());
        std::printf("%s\n", DescribeVerification(images.contents).c_str());
    }

    std::optional<InPlaceLine> consoleLine;
    if (!json && ConsoleProgress::OutputIsConsole())
        consoleLine.emplace();
    InPlaceLine* const line = consoleLine ? &*consoleLine : nullptr;

    unsigned devices = 0;
    unsigned updated = 0;
    int endCode = -1; // set when a condition of every later device ended the loop
    UpdateRun run;
    run.UseContentCheck(images.contents);
    while (options.count == 0 || devices < options.count) {
        const Waited arrived = WaitForDevice(
            true, devices + 1, "Waiting for device " + std::to_string(devices + 1) + "...", line);
        if (arrived == Waited::NoLinkLibrary) {
            endCode = CLI_EXIT_NO_LINK_LIBRARY;
            break;
        }
        if (arrived == Waited::Stopped)
            break;

        ++devices;
        DeviceRun frontEnd(options, texts, devices, line);
        const RunResult result = run.Run(frontEnd);
        const RunVerdict verdict = DescribeRun(result, 0);
        std::string said = "device " + std::to_string(devices) + ": ";
        if (result.outcome == RunOutcome::Completed) {
            ++updated;
            said += "updated, " + verdict.text;
        } else if (result.outcome == RunOutcome::NotLinked) {
            said += "not updated: the device was gone before its update began";
        } else {
            said += "not updated: " + verdict.text;
        }
        const bool failsLater = FailsEveryLaterDevice(result.outcome);
        if (failsLater)
            said += "; every later device would fail the same way, so the bench stops";
        if (json)
            json->Device(devices, result.runId, result.outcome, result.outcome == RunOutcome::Completed,
                         said);
        else if (line)
            line->Close(said);
        else
            std::printf("%s\n", said.c_str());
        if (failsLater) {
            endCode = verdict.exitCode;
            break;
        }
        if (result.outcome == RunOutcome::Interrupted || InterruptRequested())
            break;

        // A device left attached must never be updated twice: the next one is waited for only once this one
        // is gone. After the last device of --count the operator removes it without the program waiting.
        if (options.count != 0 && devices == options.count) {
            if (!json)
                std::printf("Remove the device.\n");
            break;
        }
        if (WaitForDevice(false, devices, "Remove the device.", line) == Waited::Stopped)
            break;
    }
    const bool stopped = InterruptRequested();
    if (!json && line && line->IsOpen())
        line->Close(stopped ? "Stopped." : "");
    else if (!json && stopped) // with --json the summary says it
        std::printf("Stopped.\n");
    if (endCode == CLI_EXIT_NO_LINK_LIBRARY)
        CliFail(endCode, "%s cannot be loaded", LINK_LIBRARY_NAME);
    const bool allCounted = options.count == 0 || devices == options.count;
    const int exitCode = endCode >= 0                       ? endCode
                         : updated == devices && allCounted ? CLI_EXIT_SENT
                                                            : CLI_EXIT_NOT_EVERY_DEVICE;
    if (json)
        json->Summary(devices, updated, stopped, exitCode);
    else
        std::printf("%u devices: %u updated, %u not updated\n", devices, updated, devices - updated);
    std::fflush(stdout);
    return exitCode;
}
