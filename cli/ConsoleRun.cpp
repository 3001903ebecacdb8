#include "cli/ConsoleRun.h"

#include "cli/CliExit.h"
#include "cli/CliInterrupt.h"
#include "cli/ConsoleProgress.h"
#include "cli/JsonEvents.h"
#include "engine/ImageCheck.h"
#include "engine/PowerCheck.h"
#include "engine/TransferState.h"
#include "link/DeviceLink.h"
#include "link/PresenceCheck.h"
#include "system/Paths.h"
#include "system/ProgramVersion.h"
#include "texts/TextKeys.h"

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {

constexpr DWORD PRESENCE_POLL_MS = 250;
constexpr DWORD SENDER_POLL_MS = 50;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    return text;
}

std::string NameList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names)
        list += (list.empty() ? "" : ", ") + name;
    return list.empty() ? "none" : list;
}

// The progress of a transfer as JSON events.
class JsonProgress final : public ImageSendUi {
public:
    JsonProgress(JsonEvents& json, int stage, std::uint32_t payload)
        : m_json(json), m_stage(stage), m_payload(payload) {}
    void DisableUpdateButton() override {}
    void SetProgressPos(int /*pos*/) override { m_json.Progress(m_stage, g_cbSent.load(), m_payload); }
    void ShowResultText(const char* /*text*/) override {}

private:
    JsonEvents& m_json;
    int m_stage;
    std::uint32_t m_payload;
};

std::string SentImages(const RunResult& result) {
    if (result.sentStages.empty())
        return "no image was sent";
    std::string sent = "already sent: ";
    for (std::size_t i = 0; i < result.sentStages.size(); ++i)
        sent += (i ? ", " : "") + std::string(StageFileName(result.sentStages[i]));
    return sent;
}

// What a run that ended at a stage had sent before it; nothing for words outside a run (the bench's check).
std::string SentBefore(const RunResult& result) {
    return result.runId.empty() || result.stage < 0 ? "" : "; nothing of it was sent; " + SentImages(result);
}

} // namespace

const char* StageFileName(int stage) {
    return IMAGE_FILE_NAMES[UPDATE_STAGES[stage].file];
}

ImagesAtStop ImagesOfStoppedRun(const RunResult& result) {
    ImagesAtStop images;
    for (const int stage : result.sentStages)
        images.sentWhole.push_back(StageFileName(stage));
    // The stages after the stop were never judged: the folder as it stands says which would have been sent.
    for (const int stage : CheckImagesOnce(false).stagesToSend)
        if (std::find(result.sentStages.begin(), result.sentStages.end(), stage) == result.sentStages.end())
            images.notSent.push_back(StageFileName(stage));
    return images;
}

RunVerdict DescribeRun(const RunResult& result, unsigned waitSeconds) {
    const char* name = result.stage >= 0 ? StageFileName(result.stage) : "";
    const auto taken = static_cast<unsigned long>(result.bytesTaken);
    const auto payload = static_cast<unsigned long>(result.payloadBytes);
    switch (result.outcome) {
    case RunOutcome::Completed: {
        const std::size_t sent = result.sentStages.size();
        return {CLI_EXIT_SENT, Format("%u image%s sent", static_cast<unsigned>(sent), sent == 1 ? "" : "s")};
    }
    case RunOutcome::Checked:
        return {CLI_EXIT_SENT, "an update would go ahead; nothing was sent"};
    case RunOutcome::NotVerified:
        // Refused by the check before the device, or at the stage of a file changed or gone since.
        return {CLI_EXIT_IMAGE_REJECTED,
                DescribeContentFault(result.contents, true) +
                    (result.stage >= 0 ? SentBefore(result) : "; nothing of the device was opened") +
                    "; download the update again"};
    case RunOutcome::ImageInUse: {
        const char* file = result.stage >= 0 ? name : IMAGE_FILE_NAMES[std::max(result.contents.file, 0)];
        return {
            CLI_EXIT_IMAGE_REJECTED,
            Format("%s is in use by another program (still after %u s)%s; close that program or wait, "
                   "then update again",
                   file, static_cast<unsigned>(IMAGE_IN_USE_WAIT_MS / 1000),
                   result.stage >= 0 ? SentBefore(result).c_str() : "; nothing of the device was opened")};
    }
    case RunOutcome::AnotherRun:
        return {CLI_EXIT_ANOTHER_RUN, "another update of the device is in progress (Nimbrel.exe or "
                                      "NimbrelCli.exe); wait until it has ended"};
    case RunOutcome::LowBattery:
        return {CLI_EXIT_LOW_BATTERY,
                Format("the PC runs on a battery below %u%%: connect the charger (or use --allow-battery)",
                       static_cast<unsigned>(LOW_BATTERY_PERCENT))};
    case RunOutcome::NoLinkLibrary:
        return {CLI_EXIT_NO_LINK_LIBRARY, Format("%s cannot be loaded", LINK_LIBRARY_NAME)};
    case RunOutcome::NotLinked:
        return {CLI_EXIT_NO_DEVICE,
                waitSeconds ? Format("no device found within %u s", waitSeconds) : "no device found"};
    case RunOutcome::NoPipe:
        if (result.stage < 0)
            return {CLI_EXIT_NO_DEVICE, "the device's data pipe cannot be opened"};
        // Gone between two images: say how far the update got.
        return {CLI_EXIT_NO_DEVICE, Format("the device's data pipe cannot be opened to send %s; %s", name,
                                           SentImages(result).c_str())};
    case RunOutcome::WrongModel:
        return {CLI_EXIT_WRONG_MODEL, NOT_OSTREL_TEXT};
    case RunOutcome::Refused:
        if (result.image == StageImage::TooShort)
            return {CLI_EXIT_IMAGE_REJECTED, Format("%s is too short to be an image (under %u bytes)%s", name,
                                                    IMAGE_LEAD_SIZE, SentBefore(result).c_str())};
        return {CLI_EXIT_IMAGE_REJECTED,
                Format("%s is not an image: its first byte is not '%%'%s", name, SentBefore(result).c_str())};
    case RunOutcome::ImageNotLoaded:
        if (result.image == StageImage::NotLoaded)
            return {CLI_EXIT_IMAGE_REJECTED,
                    Format("%s could not be read: no memory for its first %u bytes%s", name, IMAGE_LEAD_SIZE,
                           SentBefore(result).c_str())};
        return {CLI_EXIT_IMAGE_REJECTED, Format("%s cannot be read%s", name, SentBefore(result).c_str())};
    case RunOutcome::NoSender:
        return {CLI_EXIT_TRANSFER_FAILED, Format("%s: the transfer cannot be started", name)};
    case RunOutcome::Interrupted: {
        const ImagesAtStop images = ImagesOfStoppedRun(result);
        const std::string lists =
            "sent whole: " + NameList(images.sentWhole) + "; not sent: " + NameList(images.notSent);
        const char* cause = StopCauseText(InterruptCause());
        // Stopped before the device took a byte of this image's payload: it was not sent at all.
        if (result.stage < 0 || taken == 0)
            return {CLI_EXIT_TRANSFER_FAILED, Format("update interrupted (%s): %s", cause, lists.c_str())};
        return {CLI_EXIT_TRANSFER_FAILED,
                Format("update interrupted (%s) during %s: the device took %lu of %lu "
                       "bytes; %s",
                       cause, name, taken, payload, lists.c_str())};
    }
    case RunOutcome::TransferFailed:
    default:
        return {CLI_EXIT_TRANSFER_FAILED,
                Format("%s: transfer failed, the device took %lu of %lu bytes", name, taken, payload)};
    }
}

DeviceWait ConsoleRun::AwaitDevice() {
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(m_options.waitSeconds) * 1000;
    bool told = false;
    for (;;) {
        // Looked at first: a device that turns up after a stop is not touched.
        if (InterruptRequested())
            return DeviceWait::Stopped;
        const DevicePresence presence = FindDevice();
        if (presence == DevicePresence::LibraryMissing)
            return DeviceWait::LibraryMissing;
        if (presence == DevicePresence::Present) {
            if (!m_pJson)
                std::printf("Device connected.\n");
            return DeviceWait::Present;
        }
        if (::GetTickCount64() >= deadline)
            return DeviceWait::Absent;
        if (!told) {
            if (m_pJson) {
                m_pJson->Waiting(0, "device");
            } else {
                std::printf("Waiting up to %u s for the device...\n", m_options.waitSeconds);
                std::fflush(stdout);
            }
            told = true;
        }
        ::Sleep(PRESENCE_POLL_MS);
    }
}

void ConsoleRun::ContentsChecked(const ContentCheck& check) {
    m_contents = check;
    // In JSON each image event says how its bytes are verified.
    if (!m_pJson)
        std::printf("%s\n", DescribeVerification(check).c_str());
}

void ConsoleRun::RunBegins(const RunStart& start) {
    m_startedMs = ::GetTickCount64();
    if (!m_pJson) {
        SayRunId("Run " + start.runId);
        return;
    }
    const std::string program = ProgramFilePath();
    char folder[MAX_PATH] = "";
    ::GetCurrentDirectoryA(sizeof folder, folder);
    m_pJson->RunStart(start.runId, program.substr(FolderOfPath(program).size()), ProgramFileVersion(),
                      FindLinkLibraryPath(), folder, start.lockAbandoned);
}

void ConsoleRun::SayRunId(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void ConsoleRun::StageImageKnown(const StageImageFacts& facts) {
    if (!m_pJson) {
        if (!m_bCheckLineOpen)
            return;
        m_bCheckLineOpen = false;
        const std::string verified = facts.verified;
        if (facts.image != StageImage::ToSend)
            std::printf("cannot be read\n");
        else if (verified == "mismatch")
            std::printf("changed since the check, not fit to send\n");
        else
            std::printf("fit to send, contents %s%s\n", verified == "none" ? "not verified" : "verified by ",
                        verified == "none" ? "" : verified.c_str());
        std::fflush(stdout);
        return;
    }
    const bool shown = facts.image == StageImage::ToSend || facts.image == StageImage::NotMarked;
    m_pJson->Image(facts, StageFileName(facts.stage),
                   shown ? m_texts.Message(UPDATE_STAGES[facts.stage].textKey) : std::string());
}

void ConsoleRun::StageEnded(StageOutcome outcome, std::uint32_t bytesTaken) {
    if (m_pJson)
        m_pJson->StageEnd(m_stage, StageFileName(m_stage), outcome, bytesTaken);
}

void ConsoleRun::RunEnded(const RunResult& result) {
    m_ended = DescribeRun(result, m_options.waitSeconds);
    if (!m_pJson)
        return;
    const int exitCode = m_ended->exitCode;
    // The run's end is its last event: a reader that stops there has had the reason.
    if (exitCode != CLI_EXIT_SENT && m_bErrorEvent)
        m_pJson->Error(m_ended->text, exitCode);
    const std::uint64_t durationMs = ::GetTickCount64() - m_startedMs;
    ImagesAtStop images;
    std::string stoppedBy;
    if (result.outcome == RunOutcome::Interrupted) {
        images = ImagesOfStoppedRun(result);
        stoppedBy = StopCauseWord(InterruptCause());
    }
    const bool refused = result.outcome == RunOutcome::NotVerified;
    m_pJson->RunEnd(result.outcome, exitCode, durationMs, stoppedBy, images.sentWhole, images.notSent,
                    refused ? ContentFaultWord(result.contents.fault) : nullptr);
}

void ConsoleRun::StageJudged(int stage, StageImage image) {
    m_stage = stage;
    if (m_pJson)
        return;
    std::printf("[%d/%d] %s: ", stage + 1, UPDATE_STAGE_COUNT, StageFileName(stage));
    switch (image) {
    case StageImage::Absent:
        // One that the list names ends the run (the error says so).
        std::printf(m_contents.manifest.sha256[UPDATE_STAGES[stage].file].empty() ? "not present, skipped\n"
                                                                                  : "not present\n");
        return;
    case StageImage::InUse:
        std::printf("in use by another program\n");
        return;
    case StageImage::NotMarked:
        std::printf("%s not marked for sending, skipped\n",
                    m_texts.Message(UPDATE_STAGES[stage].textKey).c_str());
        return;
    case StageImage::ToSend:
        // Whether it is fit to send, and how its bytes are verified, the comparison at the stage tells.
        if (m_options.check) {
            m_bCheckLineOpen = true;
            return;
        }
        std::printf("%s\n", m_texts.Message(UPDATE_STAGES[stage].textKey).c_str());
        std::fflush(stdout);
        return;
    default:
        std::printf("rejected\n");
        return;
    }
}

bool ConsoleRun::StopRequested() {
    return InterruptRequested();
}

std::unique_ptr<ImageSendUi> ConsoleRun::SendDisplay(int stage, std::uint32_t payloadBytes) {
    if (m_pJson)
        return std::make_unique<JsonProgress>(*m_pJson, stage, payloadBytes);
    return std::make_unique<ConsoleProgress>(payloadBytes, m_texts.Message(TEXT_IMAGE_SENT));
}

void ConsoleRun::WaitForSender(HANDLE sender) {
    while (::WaitForSingleObject(sender, SENDER_POLL_MS) == WAIT_TIMEOUT)
        if (InterruptRequested())
            g_bTransferStopRequested.store(true);
}
