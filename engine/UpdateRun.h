#pragma once

#include "engine/ImageContents.h"
#include "engine/ImageFacts.h"
#include "engine/ImageTransfer.h"
#include "engine/RunRecord.h"
#include "engine/UpdateLock.h"
#include "engine/UpdateStages.h"
#include "system/PowerThrottlingOptOut.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Where an update run stands.
enum class RunPhase {
    Idle,     // no run
    Checking, // the lock is held; the device's presence, its data pipe and its model are being checked
    Stages,   // the device is an Ostrel; the stages run
    Ended,    // ended (history written, lock released), but the run's call has not returned yet
};

// What the front end is told of the device before the run opens anything of it.
enum class DeviceWait {
    Present,
    Absent,
    LibraryMissing, // the link library cannot be loaded, or lacks open_dev
    Stopped,        // the user stopped the run while it waited
};

// What the front end is told as the run begins.
struct RunStart {
    std::string runId;          // NewRunId: heads the run's history lines
    bool lockAbandoned = false; // the lock came from a program that died holding it
};

// How a run ended, for the front end's closing words.
struct RunResult {
    std::string runId;
    RunOutcome outcome = RunOutcome::Completed;
    int stage = -1;                        // the stage the run ended in; -1 before the stages
    StageImage image = StageImage::Absent; // that stage's image, as judged
    std::uint32_t payloadBytes = 0;        // that stage's payload, once its image was loaded
    std::uint32_t bytesTaken = 0;          // of which the device took, once its sender had started
    std::vector<int> sentStages;           // stages whose image the device took whole, in order
    bool stopRequested = false;            // the user stopped the run
    ContentCheck contents;                 // the images' contents as checked; its fault ends NotVerified
};

// What an update run shows and how it waits: the window and the console program each give one. Every call
// comes on the run's thread.
class UpdateRunFrontEnd {
public:
    virtual ~UpdateRunFrontEnd() = default;

    // The run holds the lock; nothing of the device has been opened yet.
    virtual void RunBegins(const RunStart& start) { (void)start; }
    // Whether a PC on a low battery keeps the run from starting (the console can be told to go on anyway).
    virtual bool ChecksBattery() const { return true; }
    // The images' contents have passed their check (with or without a list), before anything of the device
    // is opened. A refusal comes to RunEnded instead.
    virtual void ContentsChecked(const ContentCheck& check) { (void)check; }
    // False for a run that checks everything but sends nothing (the console's --check): each image fit to
    // send ends its stage as checked, and the run ends Checked.
    virtual bool SendsImages() const { return true; }
    // Whether the device is attached: the window answers with its presence monitor's latest finding, the
    // console waits for it.
    virtual DeviceWait AwaitDevice() = 0;
    // The device is an Ostrel; the stages begin, with their images at `paths` (empty: the path did not fit).
    virtual void StagesBegin(const std::array<std::string, UPDATE_STAGE_COUNT>& paths) { (void)paths; }
    // A stage's image has been judged; what follows depends on the verdict.
    virtual void StageJudged(int stage, StageImage image) = 0;
    // The image's facts: after its verdict, or for an image to send once it is loaded and compared with the
    // list, before it is sent (one whose stage ends before its loading: as the file stands then).
    virtual void StageImageKnown(const StageImageFacts& facts) { (void)facts; }
    // The stage has ended as its history line says (every stage that was judged, also one that the run's
    // end cut off); `bytesTaken`: of the payload, for a stage whose sender ran.
    virtual void StageEnded(StageOutcome outcome, std::uint32_t bytesTaken) {
        (void)outcome;
        (void)bytesTaken;
    }
    // Whether the user asked the run to stop; asked between the steps and after a failed transfer.
    virtual bool StopRequested() { return false; }
    // What shows the transfer of the stage's image (`payloadBytes` after the command). It lives until the
    // sender has ended.
    virtual std::unique_ptr<ImageSendUi> SendDisplay(int stage, std::uint32_t payloadBytes) = 0;
    // Returns once `sender` has ended or has raised g_bTransferDone.
    virtual void WaitForSender(HANDLE sender) = 0;
    // The run has ended: its history is written and the lock released. Boxes and closing words come after
    // this, from the result that Run returns.
    virtual void RunEnded(const RunResult& result) { (void)result; }
};

// One update run, the same for both programs: the lock, the power check, full speed even when hidden, the
// presence of the device, the identity probe, the four stages in their fixed order (judge, show, load, send,
// wait), and the history. Failures end the run; an absent or unmarked image only skips its stage. (Each
// sender keeps the system awake and the timer fine while it runs.)
class UpdateRun {
public:
    // Runs to the end and returns how it ended. Returns AnotherRun at once, having opened nothing, when
    // another run (of any copy of either program) holds the lock; a caller checks Phase() first so as not to
    // start a run inside its own.
    RunResult Run(UpdateRunFrontEnd& frontEnd);

    // Ends the run now from outside its steps (the device lost during a wait, the session ending): stops a
    // sender that is running and waits for it (bounded, letting its calls into the window through), then
    // writes the history's end, releases the lock and tells the front end. So the history's bytes taken are
    // what the device was given, and no other run can start while bytes are still on their way: a sender
    // that has not ended within the bound leaves its stage's line saying sender=not-ended and the lock held
    // until the run's own wait sees it end (or the process ends). An end that comes during that wait (the
    // session ending) writes the history's end itself, within the same bound. The run's remaining steps do
    // nothing more. Does nothing when no run is in progress or its end is written already.
    void End(RunOutcome outcome);

    // Whether a sender is running whose device has already taken every byte of its image: the sender's
    // verdict has come, though it may not have raised g_bTransferDone yet. A device that goes away now (one
    // that restarts on its new firmware) has not cut the image off.
    bool ImageInFlightTakenWhole() const;

    // The images' contents were checked already (the console's bench, once before the first device): the
    // runs that follow take this check instead of making their own, and compare each stage's bytes with it.
    void UseContentCheck(ContentCheck check) { m_givenContents = std::move(check); }

    RunPhase Phase() const { return m_phase; }
    bool InProgress() const { return m_phase == RunPhase::Checking || m_phase == RunPhase::Stages; }

private:
    RunOutcome RunSteps();
    std::optional<RunOutcome> OpenPipe(UniqueHandle& pipe);
    std::optional<RunOutcome> CheckIdentity();
    std::optional<RunOutcome> SendStage(int stage, const std::string& path);
    // Whether the sender has ended (or none runs), waiting for it until m_senderDeadline.
    bool StopSender();
    // Interrupted when the front end has been asked to stop.
    std::optional<RunOutcome> Stopped();
    std::optional<RunOutcome> CheckContents();
    // Loads the stage's image whole, as it goes to the device, and compares its bytes with the list; a
    // refusal writes the stage's line and gives the run's outcome.
    std::optional<RunOutcome> LoadAndCompare(int stage, const std::string& path, CHeapBuffer& image,
                                             std::uint32_t& cbImage, ImageFingerprint& loaded);
    // The console's --check: the stage's image loaded and compared as its sending would, and sent nowhere.
    std::optional<RunOutcome> CheckStage(int stage, const std::string& path);
    // A stage that was to send its image ends with nothing of it sent (`loaded`: the bytes, once loaded).
    void EndUnsentStage(int stage, const std::string& path, StageOutcome outcome,
                        const ImageFingerprint* loaded = nullptr);
    // Tells the front end of the stage's image (`loaded`: the bytes to send) and returns its fingerprint.
    ImageFingerprint TellImage(int stage, StageImage image, const std::string& path,
                               const ImageFingerprint* loaded);

    UpdateLock m_lock;
    std::optional<PowerThrottlingOptOut> m_fullSpeed; // from the power check to the end
    RunRecord m_record;
    RunPhase m_phase = RunPhase::Idle;
    UpdateRunFrontEnd* m_pFrontEnd = nullptr; // set while Run runs
    RunResult m_result;
    HANDLE m_hSender = nullptr;       // the stage's sender while the run waits for it
    ULONGLONG m_senderDeadline = 0;   // how long an end from outside waits for the stopped sender
    bool m_bEndWritten = false;       // the history's end is written and the front end told
    bool m_bLockAwaitsSender = false; // ended from outside before its sender: Run releases the lock
    std::optional<ContentCheck> m_givenContents;
};
