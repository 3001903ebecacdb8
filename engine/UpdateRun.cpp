#include "engine/UpdateRun.h"

#include "engine/ImageSendThread.h"
#include "engine/PowerCheck.h"
#include "engine/RunId.h"
#include "engine/TransferState.h"
#include "framework/OwnedThread.h"
#include "link/DeviceLink.h"
#include "link/IdentityProbe.h"
#include "link/PipeIo.h"

#include <utility>

namespace {

// How the run ends for a stage whose image was judged not fit to send.
std::optional<StageOutcome> RefusalOf(StageImage image) {
    switch (image) {
    case StageImage::NotLoaded:
        return StageOutcome::NotLoaded;
    case StageImage::TooShort:
        return StageOutcome::RefusedTooShort;
    case StageImage::BadMark:
        return StageOutcome::RefusedBadMark;
    default:
        return std::nullopt;
    }
}

// How long a run ended from outside waits for its stopped sender. A raised stop ends the sender's write at
// its next poll; this covers the cancel and the collection of that write, within the time one chunk may take
// at most (two calls of its bounded wait).
constexpr DWORD STOPPED_SENDER_WAIT_MS = 2 * IMAGE_CHUNK_POLLS;

} // namespace

RunResult UpdateRun::Run(UpdateRunFrontEnd& frontEnd) {
    RunResult busy;
    busy.outcome = RunOutcome::AnotherRun;
    if (m_phase != RunPhase::Idle)
        return busy;
    const UpdateLock::Taken taken = m_lock.Take();
    if (taken == UpdateLock::Taken::HeldElsewhere)
        return busy;

    m_phase = RunPhase::Checking;
    m_pFrontEnd = &frontEnd;
    m_result = RunResult{};
    m_bEndWritten = false;
    m_bLockAwaitsSender = false;
    // A stop belongs to the run it was asked of; from here on every stop asked for holds until the run ends.
    g_bTransferStopRequested.store(false);
    const RunStart start{NewRunId(), taken == UpdateLock::Taken::AfterAbandon};
    m_result.runId = start.runId;
    m_record.Begin(start.runId, start.lockAbandoned,
                   [&frontEnd](StageOutcome outcome, std::uint32_t bytesTaken) {
                       frontEnd.StageEnded(outcome, bytesTaken);
                   });
    frontEnd.RunBegins(start);

    End(RunSteps());
    // Ended from outside while its stopped sender still ran: the run's own wait has seen it end since (or
    // leave g_bTransferDone raised, after its last write), so no other run can meet bytes still on their way.
    if (m_bLockAwaitsSender)
        m_lock.Release();

    RunResult result = std::move(m_result);
    m_phase = RunPhase::Idle;
    m_pFrontEnd = nullptr;
    return result;
}

void UpdateRun::End(RunOutcome outcome) {
    if (InProgress()) {
        m_phase = RunPhase::Ended;
        m_result.outcome = outcome;
        m_senderDeadline = ::GetTickCount64() + STOPPED_SENDER_WAIT_MS;
    } else if (m_phase != RunPhase::Ended || m_bEndWritten) {
        return;
    }
    // An end that comes while an earlier one waits for the sender (the session ending meanwhile) does the
    // rest itself, within the same bound: the process may end as soon as its handler returns.
    const bool senderEnded = StopSender();
    if (m_bEndWritten)
        return; // an end nested in this one's wait has written it
    m_bEndWritten = true;
    m_fullSpeed.reset();
    m_record.End(m_result.outcome, senderEnded);
    // A sender still running may have a write pending: the lock stays held until the run's own wait has
    // seen it end, or the process ends.
    if (senderEnded)
        m_lock.Release();
    else
        m_bLockAwaitsSender = true;
    m_pFrontEnd->RunEnded(m_result);
}

bool UpdateRun::ImageInFlightTakenWhole() const {
    return m_hSender && m_result.payloadBytes > 0 && g_cbSent.load() == m_result.payloadBytes;
}

bool UpdateRun::StopSender() {
    if (!m_hSender)
        return true;
    g_bTransferStopRequested.store(true);
    const ULONGLONG now = ::GetTickCount64();
    const bool ended = WaitLettingSentMessagesThrough(
        m_hSender, now < m_senderDeadline ? static_cast<DWORD>(m_senderDeadline - now) : 0);
    m_result.bytesTaken = g_cbSent.load();
    // Its last write is over once it has raised g_bTransferDone, even if its thread has not returned yet.
    return ended || g_bTransferDone.load() != 0;
}

RunOutcome UpdateRun::RunSteps() {
    UpdateRunFrontEnd& frontEnd = *m_pFrontEnd;
    if (frontEnd.ChecksBattery() && BatteryTooLowToUpdate())
        return RunOutcome::LowBattery;
    m_fullSpeed.emplace();
    // A stop is honoured between every two steps, so that the history's end follows it at once.
    if (const auto stopped = Stopped())
        return *stopped;
    // A stop during the check (which waits for an image in use) ends the run as stopped.
    if (const auto refused = CheckContents())
        return Stopped().value_or(*refused);
    if (const auto stopped = Stopped())
        return *stopped;
    switch (frontEnd.AwaitDevice()) {
    case DeviceWait::Present:
        break;
    case DeviceWait::Absent:
        return RunOutcome::NotLinked;
    case DeviceWait::LibraryMissing:
        return RunOutcome::NoLinkLibrary;
    case DeviceWait::Stopped:
        m_result.stopRequested = true;
        return RunOutcome::Interrupted;
    }
    if (const auto failed = CheckIdentity())
        return *failed;

    std::array<std::string, UPDATE_STAGE_COUNT> paths;
    const auto files = BuildImagePaths();
    for (int stage = 0; stage < UPDATE_STAGE_COUNT; ++stage)
        paths[stage] = files[UPDATE_STAGES[stage].file];
    m_phase = RunPhase::Stages;
    frontEnd.StagesBegin(paths);

    for (int stage = 0; stage < UPDATE_STAGE_COUNT; ++stage) {
        // Ended from outside during the last wait: nothing more reaches the device.
        if (m_phase != RunPhase::Stages)
            return m_result.outcome;
        const std::string& path = paths[stage];
        const StageImage image =
            JudgeStageImageWaiting(path.c_str(), [&frontEnd] { return frontEnd.StopRequested(); });
        m_result.stage = stage;
        m_result.image = image;
        m_result.payloadBytes = 0;
        m_result.bytesTaken = 0;
        frontEnd.StageJudged(stage, image);
        const ImageFingerprint file =
            image == StageImage::ToSend ? ImageFingerprint{} : TellImage(stage, image, path, nullptr);

        if (const auto refusal = RefusalOf(image)) {
            m_record.StageDone(path, *refusal, &file);
            return image == StageImage::NotLoaded ? RunOutcome::ImageNotLoaded : RunOutcome::Refused;
        }
        if (image == StageImage::InUse) {
            m_record.StageDone(path, StageOutcome::InUse, &file);
            return Stopped().value_or(RunOutcome::ImageInUse); // a stop also ends the wait for it
        }
        // Gone since the check found it: the run would otherwise end as if it had been sent.
        if (image == StageImage::Absent && ListedButAbsent(m_result.contents, UPDATE_STAGES[stage].file)) {
            m_record.StageDone(path, StageOutcome::Absent, &file);
            return RunOutcome::NotVerified;
        }
        if (image == StageImage::Absent || image == StageImage::NotMarked) {
            m_record.StageDone(
                path, image == StageImage::Absent ? StageOutcome::Absent : StageOutcome::NotMarked, &file);
            continue;
        }
        if (!frontEnd.SendsImages()) {
            if (const auto refused = CheckStage(stage, path))
                return *refused;
            continue;
        }
        if (const auto stopped = Stopped()) {
            EndUnsentStage(stage, path, StageOutcome::Stopped);
            return *stopped;
        }
        if (const auto failed = SendStage(stage, path))
            return *failed;
    }
    return frontEnd.SendsImages() ? RunOutcome::Completed : RunOutcome::Checked;
}

std::optional<RunOutcome> UpdateRun::CheckContents() {
    m_result.contents = m_givenContents ? *m_givenContents : CheckImageContents(ImageReader::Update, [this] {
        return m_pFrontEnd->StopRequested();
    });
    m_record.ContentsChecked(m_result.contents);
    if (m_result.contents.fault == ContentFault::InUse)
        return RunOutcome::ImageInUse;
    if (m_result.contents.fault != ContentFault::None)
        return RunOutcome::NotVerified;
    m_pFrontEnd->ContentsChecked(m_result.contents);
    return std::nullopt;
}

std::optional<RunOutcome> UpdateRun::LoadAndCompare(int stage, const std::string& path, CHeapBuffer& image,
                                                    std::uint32_t& cbImage, ImageFingerprint& loaded) {
    // Judged whole a moment ago; a file that has shrunk below its leading block since is refused rather than
    // half sent.
    if (!LoadWholeImage(path.c_str(), image, cbImage) || cbImage < IMAGE_LEAD_SIZE) {
        const ImageFingerprint file = TellImage(stage, StageImage::NotLoaded, path, nullptr);
        m_record.StageDone(path, StageOutcome::NotLoaded, &file);
        return RunOutcome::ImageNotLoaded;
    }
    // The history names the bytes that go to the device, not the file as it may be by the time of the line.
    loaded = FingerprintBytes(image.get(), cbImage);
    // With a list, a hash the system could not make (empty) matches nothing in it. The front end hears of
    // the image once the comparison has given its verdict.
    const bool passed = LoadedBytesPass(m_result.contents, UPDATE_STAGES[stage].file, loaded.sha256);
    TellImage(stage, StageImage::ToSend, path, &loaded);
    if (passed)
        return std::nullopt;
    m_record.StageDone(path, StageOutcome::RefusedChanged, &loaded);
    return RunOutcome::NotVerified;
}

std::optional<RunOutcome> UpdateRun::CheckStage(int stage, const std::string& path) {
    CHeapBuffer image;
    std::uint32_t cbImage = 0;
    ImageFingerprint loaded;
    if (const auto refused = LoadAndCompare(stage, path, image, cbImage, loaded))
        return refused;
    m_record.StageDone(path, StageOutcome::Checked, &loaded);
    return std::nullopt;
}

void UpdateRun::EndUnsentStage(int stage, const std::string& path, StageOutcome outcome,
                               const ImageFingerprint* loaded) {
    const ImageFingerprint file = loaded ? *loaded : TellImage(stage, StageImage::ToSend, path, nullptr);
    m_record.StageDone(path, outcome, &file);
}

ImageFingerprint UpdateRun::TellImage(int stage, StageImage image, const std::string& path,
                                      const ImageFingerprint* loaded) {
    StageImageFacts facts;
    facts.stage = stage;
    facts.image = image;
    if (loaded)
        facts.fingerprint = *loaded;
    else if (image != StageImage::Absent)
        FingerprintFile(path, facts.fingerprint);
    // Said of the bytes just named, compared with the list now. Loaded bytes that the comparison refused are
    // not the list's, also those of a file marked for sending since the check that the list does not name.
    facts.verified =
        loaded && m_result.contents.fault != ContentFault::None
            ? "mismatch"
            : ComparedWithList(m_result.contents, UPDATE_STAGES[stage].file, facts.fingerprint.sha256);
    m_pFrontEnd->StageImageKnown(facts);
    return facts.fingerprint;
}

std::optional<RunOutcome> UpdateRun::OpenPipe(UniqueHandle& pipe) {
    LinkOpenResult opened = OpenDataPipe();
    if (!opened.libraryLoaded)
        return RunOutcome::NoLinkLibrary;
    if (!opened.handle.IsValid())
        return RunOutcome::NoPipe;
    pipe = std::move(opened.handle);
    return std::nullopt;
}

std::optional<RunOutcome> UpdateRun::Stopped() {
    if (!m_pFrontEnd->StopRequested())
        return std::nullopt;
    m_result.stopRequested = true;
    return RunOutcome::Interrupted;
}

std::optional<RunOutcome> UpdateRun::CheckIdentity() {
    // A stop that came while the run waited for the device: not even the identity request goes out.
    if (const auto stopped = Stopped())
        return stopped;
    // The probe's pipe is closed again when the probe is over: the stages open their own.
    UniqueHandle pipe;
    if (const auto failed = OpenPipe(pipe))
        return failed;
    const bool isOstrel = ProbeDeviceIdentity(pipe.Get(), nullptr);
    m_record.ProbeDone(isOstrel);
    if (!isOstrel)
        return RunOutcome::WrongModel;
    return Stopped();
}

std::optional<RunOutcome> UpdateRun::SendStage(int stage, const std::string& path) {
    UniqueHandle pipe;
    if (const auto failed = OpenPipe(pipe)) {
        EndUnsentStage(stage, path, StageOutcome::NoPipe);
        return failed;
    }

    CHeapBuffer image;
    std::uint32_t cbImage = 0;
    ImageFingerprint fingerprint;
    if (const auto refused = LoadAndCompare(stage, path, image, cbImage, fingerprint))
        return refused;
    const std::uint32_t payload = cbImage - IMAGE_HEADER_SIZE;
    m_result.payloadBytes = payload;

    const std::unique_ptr<ImageSendUi> display = m_pFrontEnd->SendDisplay(stage, payload);
    const auto sender = StartImageSender(*display, std::move(pipe), std::move(image), cbImage);
    if (!sender) {
        EndUnsentStage(stage, path, StageOutcome::NoSender, &fingerprint);
        return RunOutcome::NoSender;
    }
    m_record.SendingStage(path, std::move(fingerprint));
    m_hSender = sender->m_hThread;
    m_pFrontEnd->WaitForSender(sender->m_hThread);
    m_hSender = nullptr;
    m_result.bytesTaken = g_cbSent.load();
    // Ended from outside during the wait: the end has written the stage's line already.
    if (m_phase != RunPhase::Stages)
        return m_result.outcome;
    m_record.SendingEnded();

    // The sender's verdict is written before g_bTransferDone and before its thread ends.
    if (g_bTransferFailed.load() == 0) {
        m_result.sentStages.push_back(stage);
        return std::nullopt;
    }
    return Stopped().value_or(RunOutcome::TransferFailed);
}
