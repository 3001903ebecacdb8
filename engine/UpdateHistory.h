// The update history: one plain-text line per event of an update run, appended to history.log, so that
// support can tell afterwards what was sent to a device and how the run ended. Writing it never affects the
// run: a line that cannot be written is dropped without a word.
//
//   2026-12-08 05:12:33 run-start program=Nimbrel.exe version=1.0.0.1 link="C:\Nimbrel\TandryUSB.dll"
//   probe=ostrel
//   2026-12-08 05:12:33 contents list=SHA256SUMS signature=verified verified=signature
//   2026-12-08 05:12:34 stage file=firm.zpk size=7000 sha256=<64 hex digits> verified=signature outcome=sent
//   2026-12-08 05:12:34 stage file=sf_pcmimgcdb2.zpk verified=none outcome=absent
//   2026-12-08 05:12:40 stage file=sf_pcmimgcdb1.zpk size=60000 sha256=<...> verified=signature
//   outcome=failed taken=8192
//   (a stage whose sender had not ended when the run was ended from outside adds sender=not-ended)
//   2026-12-08 05:12:40 run-end outcome=transfer-failed duration-ms=7012
//
// The contents line comes only when the folder has a checksum list, or the check refused the run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// How one stage of a run ended.
enum class StageOutcome {
    Sent,            // "sent": the device took the whole image
    Absent,          // "absent": the file could not be opened; the stage was skipped
    NotMarked,       // "not-marked": send flag 0; the stage was skipped
    RefusedBadMark,  // "refused-1022": byte 0 is not the mark
    RefusedTooShort, // "refused-1023": shorter than the leading block
    Failed,          // "failed": the transfer broke off; taken= gives the payload bytes the device took
    NotLoaded,       // "not-loaded": the image could not be read, or no memory could be had for it
    RefusedChanged,  // "refused-changed": the bytes loaded differ from the checksum list; nothing was sent
    Checked,         // "checked": fit to send, and not sent (the console's --check)
    // A stage whose image was to be sent and of which nothing reached the device:
    NoPipe,   // "no-pipe": the device's data pipe could not be opened for it
    NoSender, // "no-sender": no thread could be started to send it
    Stopped,  // "stopped": the user stopped the run before its first byte went out
    InUse,    // "in-use": another program held the file open past the wait; nothing of it was sent
};

// How a whole run ended.
enum class RunOutcome {
    Completed,      // "completed": every stage was handled
    Refused,        // "refused": an image was refused (its stage line says why)
    TransferFailed, // "transfer-failed": the device did not take a whole image
    DeviceLost,     // "device-lost": the device went away during the run
    WrongModel,     // "wrong-model": the identity probe did not see an Ostrel
    NotLinked,      // "not-linked": no device attached when the run was asked for
    NoLinkLibrary,  // "no-link-library": TandryUSB.dll could not be loaded
    NoPipe,         // "no-pipe": the device's data pipe could not be opened
    ImageNotLoaded, // "image-not-loaded": an image could not be read or no memory could be had for it
    ImageInUse,     // "image-in-use": another program held an image open past the wait
    Interrupted,    // "interrupted": the session ended or the program was closed during the run
    NoSender,       // "no-sender": no thread could be started to send an image
    LowBattery,     // "low-battery": the PC ran on a low battery; nothing of the device was opened
    NotVerified,    // "not-verified": the images are not the maker's bytes by the checksum list or its
                    // signature (the contents line or the stage's line says why)
    Checked,        // "checked": the console's --check found that an update would go ahead; nothing was sent
    AnotherRun,     // another update run held the lock: nothing started, and no line is written
};

// Size and SHA-256 of the bytes of an image as they were handed to the device.
struct ImageFingerprint {
    std::uint64_t size = 0;
    std::string sha256;
};
ImageFingerprint FingerprintBytes(const void* data, std::size_t size);
// Size and SHA-256 of a file as it stands; false when it cannot be read to its end.
bool FingerprintFile(const std::string& path, ImageFingerprint& fingerprint);

// How the bytes of a stage's image were verified before they went to the device.
enum class Verification {
    None,      // "none": no checksum list (or the file is not in it)
    Sha256,    // "sha256": they match the checksum list
    Signature, // "signature": they match the checksum list, which the maker's key signed
};
const char* VerificationWord(Verification verification);

const char* StageOutcomeWord(StageOutcome outcome);
const char* RunOutcomeWord(RunOutcome outcome);

// The local time as a history line begins with it: "2026-12-08 05:12:33".
std::string HistoryTimeStamp();

// Where the history lives: the folder named by NIMBREL_HISTORY_DIR when that is set (tests), else
// %LOCALAPPDATA%\Nimbrel. Empty when neither can be had.
std::string DefaultHistoryFolder();

class UpdateHistory {
public:
    static constexpr DWORD MAX_FILE_BYTES = 1024 * 1024; // history.log never grows past this
    static constexpr char FILE_NAME[] = "history.log";
    static constexpr char OLDER_FILE_NAME[] = "history.1.log"; // the previous MiB, replaced at each rotation

    // `folder` is made (with its parents) at the first line when missing. The run's duration counts from
    // here, not from RunStarted: a front end that writes the start line once the identity probe has given
    // its verdict still counts the probe. `runId`, when given, heads every line (run=<id>).
    explicit UpdateHistory(std::string folder = DefaultHistoryFolder(), std::string runId = {});

    // Each returns whether its line reached the file; callers need not look.
    // `program` (the file name of the program that runs the update) leads the line when given;
    // `lockAbandoned` notes that the run took the update lock from a program that died holding it.
    bool RunStarted(const std::string& programVersion, const std::string& linkLibraryPath,
                    const std::string& probeVerdict, const std::string& program = {},
                    bool lockAbandoned = false);
    // Size and SHA-256 are those of `sent`, the bytes handed to the device, when given; otherwise those of
    // the file at `imagePath` now (a stage that sent nothing); an absent stage names the file only.
    // `payloadBytesTaken` is written for a failed stage only. `senderEnded` false: the stage's sender had not
    // ended when the run did (sender=not-ended), so the device may have taken more than `payloadBytesTaken`.
    bool StageDone(const std::string& imagePath, StageOutcome outcome, std::uint32_t payloadBytesTaken = 0,
                   const ImageFingerprint* sent = nullptr, Verification verified = Verification::None,
                   bool senderEnded = true);
    // The check of the images' contents: `fields` are its words ("list=SHA256SUMS signature=verified ...").
    bool ContentsChecked(const std::string& fields);
    bool RunEnded(RunOutcome outcome);

    const std::string& folder() const { return m_folder; }
    std::string path() const;

private:
    bool Append(const std::string& event);

    std::string m_folder;
    std::string m_runId;
    ULONGLONG m_startedMs;
};
