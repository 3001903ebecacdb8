// The console's part of an update run: it waits for the device, prints a line per stage and the transfer's
// progress, watches for Ctrl+C and the stop event while a sender runs, and turns the run's end into its
// words and exit code. The run itself is the engine's.
#include "cli/CliUpdate.h"

#include "cli/CliInterrupt.h"
#include "cli/CliTexts.h"
#include "cli/ConsoleProgress.h"
#include "engine/PowerCheck.h"
#include "engine/TransferState.h"
#include "engine/UpdateRun.h"
#include "system/Paths.h"
#include "link/DeviceLink.h"
#include "link/PresenceCheck.h"
#include "texts/LangText.h"
#include "texts/TextKeys.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

constexpr DWORD PRESENCE_POLL_MS = 250;
constexpr DWORD SENDER_POLL_MS = 50;

int Fail(int code, const char* format, ...) {
    std::fflush(stdout);
    std::fputs("NimbrelCli: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputs("\n", stderr);
    return code;
}

// The text table: --lang as given (it must exist), else lang.ini beside the program (it may be missing).
bool FindTextTable(const CliOptions& options, std::string& table) {
    if (options.langFile.empty()) {
        table = ProgramFolder() + LANG_TABLE_NAME;
        return true;
    }
    char full[MAX_PATH];
    const DWORD length = ::GetFullPathNameA(options.langFile.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH || ::GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES)
        return false;
    table = full;
    return true;
}

bool LinkLibraryIsWhole() {
    const LinkLibrary library = LinkLibrary::Load();
    return library.HasOpenDev() && library.HasOpenFile();
}

const char* StageFileName(int stage) {
    return IMAGE_FILE_NAMES[UPDATE_STAGES[stage].file];
}

class ConsoleRun final : public UpdateRunFrontEnd {
public:
    ConsoleRun(const CliOptions& options, const CliTexts& texts) : m_options(options), m_texts(texts) {}

    // Checks for the device until it answers or the wait is over; at least once.
    DeviceWait AwaitDevice() override {
        const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(m_options.waitSeconds) * 1000;
        bool told = false;
        for (;;) {
            const DevicePresence presence = FindDevice();
            if (presence == DevicePresence::LibraryMissing)
                return DeviceWait::LibraryMissing;
            if (presence == DevicePresence::Present) {
                std::printf("Device connected.\n");
                return DeviceWait::Present;
            }
            if (InterruptRequested())
                return DeviceWait::Stopped;
            if (::GetTickCount64() >= deadline)
                return DeviceWait::Absent;
            if (!told) {
                std::printf("Waiting up to %u s for the device...\n", m_options.waitSeconds);
                std::fflush(stdout);
                told = true;
            }
            ::Sleep(PRESENCE_POLL_MS);
        }
    }

    void StageJudged(int stage, StageImage image) override {
        std::printf("[%d/%d] %s: ", stage + 1, UPDATE_STAGE_COUNT, StageFileName(stage));
        switch (image) {
        case StageImage::Absent:
            std::printf("not present, skipped\n");
            return;
        case StageImage::NotMarked:
            std::printf("%s not marked for sending, skipped\n",
                        m_texts.Message(UPDATE_STAGES[stage].textKey).c_str());
            return;
        case StageImage::ToSend:
            std::printf("%s\n", m_texts.Message(UPDATE_STAGES[stage].textKey).c_str());
            std::fflush(stdout);
            return;
        default:
            std::printf("rejected\n");
            return;
        }
    }

    bool ChecksBattery() const override { return !m_options.allowBattery; }

    bool StopRequested() override { return InterruptRequested(); }

    std::unique_ptr<ImageSendUi> SendDisplay(int, std::uint32_t payloadBytes) override {
        return std::make_unique<ConsoleProgress>(payloadBytes, m_texts.Message(TEXT_IMAGE_SENT));
    }

    void WaitForSender(HANDLE sender) override {
        while (::WaitForSingleObject(sender, SENDER_POLL_MS) == WAIT_TIMEOUT)
            if (InterruptRequested())
                g_bTransferStopRequested.store(true);
    }

    // The run's end in words and an exit code.
    int Report(const RunResult& result) const {
        const char* name = result.stage >= 0 ? StageFileName(result.stage) : "";
        const auto taken = static_cast<unsigned long>(result.bytesTaken);
        const auto payload = static_cast<unsigned long>(result.payloadBytes);
        switch (result.outcome) {
        case RunOutcome::Completed: {
            const std::size_t sent = result.sentStages.size();
            std::printf("Update finished: %u image%s sent.\n", static_cast<unsigned>(sent),
                        sent == 1 ? "" : "s");
            return CLI_EXIT_SENT;
        }
        case RunOutcome::AnotherRun:
            return Fail(CLI_EXIT_ANOTHER_RUN, "another update of the device is in progress (Nimbrel.exe or "
                                              "NimbrelCli.exe); wait until it has ended");
        case RunOutcome::LowBattery:
            return Fail(CLI_EXIT_LOW_BATTERY,
                        "the PC runs on a battery below %u%%: connect the charger (or use --allow-battery)",
                        static_cast<unsigned>(LOW_BATTERY_PERCENT));
        case RunOutcome::NoLinkLibrary:
            return Fail(CLI_EXIT_NO_LINK_LIBRARY, "%s cannot be loaded", LINK_LIBRARY_NAME);
        case RunOutcome::NotLinked:
            return m_options.waitSeconds
                       ? Fail(CLI_EXIT_NO_DEVICE, "no device found within %u s", m_options.waitSeconds)
                       : Fail(CLI_EXIT_NO_DEVICE, "no device found");
        case RunOutcome::NoPipe:
            if (result.stage < 0)
                return Fail(CLI_EXIT_NO_DEVICE, "the device's data pipe cannot be opened");
            // Gone between two images: say how far the update got.
            return Fail(CLI_EXIT_NO_DEVICE, "the device's data pipe cannot be opened to send %s; %s", name,
                        SentImages(result).c_str());
        case RunOutcome::WrongModel:
            return Fail(CLI_EXIT_WRONG_MODEL, "%s", NOT_OSTREL_TEXT);
        case RunOutcome::Refused:
            if (result.image == StageImage::TooShort)
                return Fail(CLI_EXIT_IMAGE_REJECTED, "%s is too short to be an image (under %u bytes)", name,
                            IMAGE_LEAD_SIZE);
            return Fail(CLI_EXIT_IMAGE_REJECTED, "%s is not an image: its first byte is not '%%'", name);
        case RunOutcome::ImageNotLoaded:
            if (result.image == StageImage::NotLoaded)
                return Fail(CLI_EXIT_IMAGE_REJECTED, "%s could not be read: no memory for its first %u bytes",
                            name, IMAGE_LEAD_SIZE);
            return Fail(CLI_EXIT_IMAGE_REJECTED, "%s cannot be read", name);
        case RunOutcome::NoSender:
            return Fail(CLI_EXIT_TRANSFER_FAILED, "%s: the transfer cannot be started", name);
        case RunOutcome::Interrupted:
            if (result.payloadBytes == 0 || result.stage < 0)
                return Fail(CLI_EXIT_TRANSFER_FAILED, "update interrupted (Ctrl+C)");
            return Fail(CLI_EXIT_TRANSFER_FAILED,
                        "update interrupted (Ctrl+C) during %s: the device took %lu of %lu bytes", name,
                        taken, payload);
        case RunOutcome::TransferFailed:
        default:
            return Fail(CLI_EXIT_TRANSFER_FAILED, "%s: transfer failed, the device took %lu of %lu bytes",
                        name, taken, payload);
        }
    }

private:
    static std::string SentImages(const RunResult& result) {
        if (result.sentStages.empty())
            return "no image was sent";
        std::string sent = "already sent: ";
        for (std::size_t i = 0; i < result.sentStages.size(); ++i)
            sent += (i ? ", " : "") + std::string(StageFileName(result.sentStages[i]));
        return sent;
    }

    const CliOptions& m_options;
    const CliTexts& m_texts;
};

} // namespace

int RunCliUpdate(const CliOptions& options) {
    std::string table;
    if (!FindTextTable(options, table))
        return Fail(CLI_EXIT_USAGE, "text table %s not found", options.langFile.c_str());
    if (!options.imageFolder.empty() && !::SetCurrentDirectoryA(options.imageFolder.c_str()))
        return Fail(CLI_EXIT_USAGE, "folder %s not found", options.imageFolder.c_str());
    const CliTexts texts(table);

    if (!LinkLibraryIsWhole())
        return Fail(CLI_EXIT_NO_LINK_LIBRARY, "%s is missing or lacks open_dev or open_file",
                    LINK_LIBRARY_NAME);
    ConsoleRun frontEnd(options, texts);
    UpdateRun run;
    return frontEnd.Report(run.Run(frontEnd));
}
