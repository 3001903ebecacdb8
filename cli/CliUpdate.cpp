#include "cli/CliUpdate.h"

#include "cli/CliInterrupt.h"
#include "cli/CliTexts.h"
#include "cli/ConsoleProgress.h"
#include "engine/ImageSendThread.h"
#include "engine/TransferState.h"
#include "engine/UpdateStages.h"
#include "framework/Paths.h"
#include "link/DeviceLink.h"
#include "link/IdentityProbe.h"
#include "link/PresenceCheck.h"
#include "texts/LangText.h"
#include "texts/TextKeys.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <utility>

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

int Interrupted() {
    return Fail(CLI_EXIT_TRANSFER_FAILED, "update interrupted (Ctrl+C)");
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

// Checks for the device until it answers or the wait is over; at least once.
int WaitForDevice(unsigned waitSeconds) {
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(waitSeconds) * 1000;
    bool told = false;
    for (;;) {
        const DevicePresence presence = FindDevice();
        if (presence == DevicePresence::LibraryMissing)
            return Fail(CLI_EXIT_NO_LINK_LIBRARY, "%s cannot be loaded", LINK_LIBRARY_NAME);
        if (presence == DevicePresence::Present) {
            std::printf("Device connected.\n");
            return CLI_EXIT_SENT;
        }
        if (InterruptRequested())
            return Interrupted();
        if (::GetTickCount64() >= deadline)
            return waitSeconds ? Fail(CLI_EXIT_NO_DEVICE, "no device found within %u s", waitSeconds)
                               : Fail(CLI_EXIT_NO_DEVICE, "no device found");
        if (!told) {
            std::printf("Waiting up to %u s for the device...\n", waitSeconds);
            std::fflush(stdout);
            told = true;
        }
        ::Sleep(PRESENCE_POLL_MS);
    }
}

// Opens the data pipe as the window does; 0 with `pipe` open, else the exit code.
int OpenPipe(UniqueHandle& pipe) {
    LinkOpenResult opened = OpenDataPipe();
    if (!opened.libraryLoaded)
        return Fail(CLI_EXIT_NO_LINK_LIBRARY, "%s cannot be loaded", LINK_LIBRARY_NAME);
    if (!opened.handle.IsValid())
        return Fail(CLI_EXIT_NO_DEVICE, "the device's data pipe cannot be opened");
    pipe = std::move(opened.handle);
    return CLI_EXIT_SENT;
}

int CheckIdentity() {
    UniqueHandle pipe;
    if (const int code = OpenPipe(pipe))
        return code;
    if (!ProbeDeviceIdentity(pipe.Get(), nullptr))
        return Fail(CLI_EXIT_WRONG_MODEL, "%s", NOT_OSTREL_TEXT);
    return InterruptRequested() ? Interrupted() : CLI_EXIT_SENT;
}

// Loads and sends one stage's image; the sender runs on a worker while this thread watches for Ctrl+C.
int SendImage(const char* name, const std::string& path, const CliTexts& texts) {
    UniqueHandle pipe;
    if (const int code = OpenPipe(pipe))
        return code;
    CHeapBuffer image;
    std::uint32_t cbImage = 0;
    // Judged whole a moment ago; a file changed since then is refused rather than half sent.
    if (!LoadWholeImage(path.c_str(), image, cbImage) || cbImage < IMAGE_LEAD_SIZE)
        return Fail(CLI_EXIT_IMAGE_REJECTED, "%s cannot be read", name);
    const std::uint32_t payload = cbImage - IMAGE_HEADER_SIZE;
    {
        ConsoleProgress progress(payload, texts.Message(TEXT_IMAGE_SENT));
        const auto sender = StartImageSender(progress, std::move(pipe), std::move(image), cbImage);
        if (!sender)
            return Fail(CLI_EXIT_TRANSFER_FAILED, "%s: the transfer cannot be started", name);
        while (::WaitForSingleObject(sender->m_hThread, SENDER_POLL_MS) == WAIT_TIMEOUT)
            if (InterruptRequested())
                g_bTransferStopRequested.store(true);
    }
    if (g_bTransferFailed.load() == 0)
        return CLI_EXIT_SENT;
    if (InterruptRequested())
        return Fail(CLI_EXIT_TRANSFER_FAILED,
                    "update interrupted (Ctrl+C) during %s: the device took %lu of %lu bytes", name,
                    static_cast<unsigned long>(g_cbSent), static_cast<unsigned long>(payload));
    return Fail(CLI_EXIT_TRANSFER_FAILED, "%s: transfer failed, the device took %lu of %lu bytes", name,
                static_cast<unsigned long>(g_cbSent), static_cast<unsigned long>(payload));
}

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
    if (const int code = WaitForDevice(options.waitSeconds))
        return code;
    if (const int code = CheckIdentity())
        return code;

    const auto paths = BuildImagePaths();
    unsigned sent = 0;
    for (int stage = 0; stage < UPDATE_STAGE_COUNT; ++stage) {
        const char* name = IMAGE_FILE_NAMES[UPDATE_STAGES[stage].file];
        const std::string& path = paths[UPDATE_STAGES[stage].file];
        std::printf("[%d/%d] %s: ", stage + 1, UPDATE_STAGE_COUNT, name);
        const StageImage image = JudgeStageImage(path.c_str());
        if (image == StageImage::Absent) {
            std::printf("not present, skipped\n");
            continue;
        }
        if (image == StageImage::NotLoaded) {
            std::printf("rejected\n");
            return Fail(CLI_EXIT_IMAGE_REJECTED, "%s could not be read: no memory for its first %u bytes",
                        name, IMAGE_LEAD_SIZE);
        }
        if (image == StageImage::TooShort || image == StageImage::BadMark) {
            std::printf("rejected\n");
            if (image == StageImage::TooShort)
                return Fail(CLI_EXIT_IMAGE_REJECTED, "%s is too short to be an image (under %u bytes)", name,
                            IMAGE_LEAD_SIZE);
            return Fail(CLI_EXIT_IMAGE_REJECTED, "%s is not an image: its first byte is not '%%'", name);
        }
        const std::string stageText = texts.Message(UPDATE_STAGES[stage].textKey);
        if (image == StageImage::NotMarked) {
            std::printf("%s not marked for sending, skipped\n", stageText.c_str());
            continue;
        }
        std::printf("%s\n", stageText.c_str());
        std::fflush(stdout);
        if (InterruptRequested())
            return Interrupted();
        if (const int code = SendImage(name, path, texts))
            return code;
        ++sent;
    }
    std::printf("Update finished: %u image%s sent.\n", sent, sent == 1 ? "" : "s");
    return CLI_EXIT_SENT;
}
