// Whole update runs on the virtual device, as their ends can go wrong: a stop asked for while an image is
// being loaded, and a run ended from outside its steps while an image is in flight. Judged by what the device
// received and by the history. And the hand-over of an image to its sender, which both rest on.
#include "engine/ImageFormat.h"
#include "engine/ImageSendThread.h"
#include "engine/TransferState.h"
#include "engine/UpdateLock.h"
#include "engine/UpdateRun.h"
#include "tests/support/HistoryFolder.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualDevice.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <regex>
#include <thread>

namespace {

class SilentUi final : public ImageSendUi {
public:
    explicit SilentUi(std::function<void()> onProgress = nullptr) : m_onProgress(std::move(onProgress)) {}
    void DisableUpdateButton() override {}
    void SetProgressPos(int) override {
        if (m_onProgress)
            m_onProgress();
    }
    void ShowResultText(const char*) override {}

private:
    std::function<void()> m_onProgress;
};

// A front end that the test scripts: the device is always there, and two moments of the run call back.
class ScriptedFrontEnd final : public UpdateRunFrontEnd {
public:
    bool ChecksBattery() const override { return false; }
    DeviceWait AwaitDevice() override { return DeviceWait::Present; }
    void StageJudged(int stage, StageImage) override {
        if (onJudged)
            onJudged(stage);
    }
    void StageEnded(StageOutcome outcome, std::uint32_t) override { ended.push_back(outcome); }
    bool StopRequested() override { return m_bStop; }
    std::unique_ptr<ImageSendUi> SendDisplay(int stage, std::uint32_t) override {
        if (onImageLoaded)
            onImageLoaded(stage);
        return std::make_unique<SilentUi>(onProgress);
    }
    void WaitForSender(HANDLE sender) override {
        if (onSending)
            onSending(sender);
        ::WaitForSingleObject(sender, INFINITE);
    }
    // As a console's Ctrl+C does: the run's question and the sender's flag at once.
    void AskToStop() {
        m_bStop = true;
        g_bTransferStopRequested.store(true);
    }

    std::function<void(int stage)>
        onImageLoaded; // the image is loaded and fingerprinted, not yet handed over
    std::function<void(HANDLE sender)> onSending; // the sender has started
    std::function<void(int stage)> onJudged;      // the stage's image is judged, nothing of it loaded
    std::vector<StageOutcome> ended;              // each stage's end, as the front end hears of it
    std::function<void()> onProgress;             // on the sender's thread, after each chunk

private:
    bool m_bStop = false;
};

// Asked from a thread of its own, as another program would: the run's thread owns the mutex, and a mutex
// lets its owner take it again.
bool LockIsFreeForAnotherRun() {
    bool free = false;
    std::thread([&] {
        UpdateLock other;
        free = other.Take() != UpdateLock::Taken::HeldElsewhere;
    }).join();
    return free;
}

class UpdateRunOnDevice : public ::testing::Test {
protected:
    UpdateRunOnDevice() : m_history(m_folder.Path()), m_here(m_folder.Path()) {}

    std::vector<std::string> History() const { return m_history.Lines(); }

    TempFolder m_folder;
    HistoryFolder m_history;
    CurrentDirectory m_here;
};

TEST_F(UpdateRunOnDevice, AStopWhileAnImageIsLoadedKeepsEveryByteOfItFromTheDevice) {
    // Small images, each of which would go whole within moments of its hand-over; the stop comes as the
    // second one is loaded, after the run's last look at the stop before it.
    VirtualDevice device;
    m_folder.Write("firm.zpk", MakeImage(3000));
    m_folder.Write("sf_pcmimgcdb2.zpk", MakeImage(3000));
    ScriptedFrontEnd frontEnd;
    frontEnd.onImageLoaded = [&](int stage) {
        if (stage == 1)
            frontEnd.AskToStop();
    };
    UpdateRun run;
    const RunResult result = run.Run(frontEnd);

    EXPECT_EQ(result.outcome, RunOutcome::Interrupted);
    EXPECT_TRUE(result.stopRequested);
    EXPECT_EQ(result.sentStages, std::vector<int>{0});
    EXPECT_EQ(result.bytesTaken, 0u);
    ASSERT_TRUE(device.WaitFor([](const VirtualDevice::Status& s) { return s.openConnections == 0; }, 10000));
    const auto images = device.Images();
    ASSERT_EQ(images.size(), 1u) << "only the first image reached the device";
    EXPECT_TRUE(images[0].complete);
    const auto lines = History();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(HistoryLineMatches(lines[2], R"(stage file=.*sf_pcmimgcdb2\.zpk .*outcome=failed taken=0)"))
        << lines[2];
    EXPECT_TRUE(HistoryLineMatches(lines[3], "run-end outcome=interrupted .*")) << lines[3];
}

TEST_F(UpdateRunOnDevice, AStopBeforeAStagesFirstByteEndsThatStageAsStopped) {
    VirtualDevice device;
    m_folder.Write("firm.zpk", MakeImage(3000));
    m_folder.Write("sf_pcmimgcdb2.zpk", MakeImage(3000));
    ScriptedFrontEnd frontEnd;
    frontEnd.onJudged = [&](int stage) {
        if (stage == 1)
            frontEnd.AskToStop();
    };
    UpdateRun run;
    EXPECT_EQ(run.Run(frontEnd).outcome, RunOutcome::Interrupted);
    EXPECT_EQ(frontEnd.ended, (std::vector<StageOutcome>{StageOutcome::Sent, StageOutcome::Stopped}));
    ASSERT_TRUE(device.WaitFor([](const VirtualDevice::Status& s) { return s.openConnections == 0; }, 10000));
    EXPECT_EQ(device.GetStatus().imagesStarted, 1u);
    const auto lines = History();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(HistoryLineMatches(
        lines[2],
        R"(stage file=sf_pcmimgcdb2\.zpk size=3000 sha256=[0-9a-f]{64} verified=none outcome=stopped)"))
        << lines[2];
}

TEST_F(UpdateRunOnDevice, ARunEndedFromOutsideStopsItsSenderBeforeItsHistoryAndItsLock) {
    VirtualDevice device({"--rate", "40000"});
    m_folder.Write("firm.zpk", MakeImage(400000));
    ScriptedFrontEnd frontEnd;
    UpdateRun run;
    bool senderEndedFirst = false;
    bool lockHeldBefore = false;
    bool lockFreeAfter = false;
    frontEnd.onSending = [&](HANDLE sender) {
        ASSERT_TRUE(
            device.WaitFor([](const VirtualDevice::Status& s) { return s.payloadBytes >= 4096; }, 20000));
        lockHeldBefore = !LockIsFreeForAnotherRun();
        // As the session's end does in the window: from a handler, while the run waits for its sender.
        run.End(RunOutcome::Interrupted);
        senderEndedFirst = ::WaitForSingleObject(sender, 0) == WAIT_OBJECT_0;
        lockFreeAfter = LockIsFreeForAnotherRun();
    };
    const RunResult result = run.Run(frontEnd);

    EXPECT_EQ(result.outcome, RunOutcome::Interrupted);
    EXPECT_TRUE(senderEndedFirst) << "the history and the lock waited for the sender";
    EXPECT_TRUE(lockHeldBefore);
    EXPECT_TRUE(lockFreeAfter);
    ASSERT_TRUE(device.WaitFor([](const VirtualDevice::Status& s) { return s.openConnections == 0; }, 10000));
    const auto images = device.Images();
    ASSERT_EQ(images.size(), 1u);
    EXPECT_LT(images[0].payload.size(), 400000u - 1024) << "stopped before its end";
    const auto lines = History();
    ASSERT_EQ(lines.size(), 3u);
    std::smatch taken;
    ASSERT_TRUE(std::regex_search(lines[1], taken, std::regex("outcome=failed taken=(\\d+)$"))) << lines[1];
    EXPECT_EQ(std::stoul(taken[1]), images[0].payload.size())
        << "the history names what the device was given";
    EXPECT_EQ(result.bytesTaken, images[0].payload.size());
    EXPECT_TRUE(HistoryLineMatches(lines[2], "run-end outcome=interrupted .*")) << lines[2];
}

// A window of the run's thread whose handler ends the run, as the session's end does in the window.
std::function<void()> g_onEndMessage;
LRESULT CALLBACK EndingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP && g_onEndMessage)
        g_onEndMessage();
    return ::DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(UpdateRunOnDevice, ASenderThatOutlastsTheEndKeepsTheLockAndTheHistorySaysSoAndANestedEndWritesIt) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = EndingWindowProc;
    windowClass.lpszClassName = "UpdateRunEndsTestWindow";
    ::RegisterClassA(&windowClass);
    for (const bool nested : {false, true}) {
        SCOPED_TRACE(nested ? "an end nested in the wait" : "one end");
        HistoryFolder history(m_folder.Path());
        VirtualDevice device({"--rate", "40000"});
        m_folder.Write("firm.zpk", MakeImage(400000));
        const HWND window = ::CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                              nullptr, nullptr, nullptr);
        const UniqueHandle held(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        const UniqueHandle release(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        std::atomic<bool> hold{false};
        ScriptedFrontEnd frontEnd;
        UpdateRun run;
        // The sender is held after a chunk: by the test, or by a handler of the run's thread that ends the
        // run again while the first end waits for the sender.
        frontEnd.onProgress = [&] {
            if (!hold.exchange(false))
                return;
            ::SetEvent(held.Get());
            if (nested)
                ::SendMessageA(window, WM_APP, 0, 0);
            else
                ::WaitForSingleObject(release.Get(), INFINITE);
        };
        std::vector<std::string> atNestedEnd;
        bool lockFreeAtNestedEnd = true;
        g_onEndMessage = [&] {
            run.End(RunOutcome::Interrupted);
            atNestedEnd = history.Lines(); // the session may end the process now
            lockFreeAtNestedEnd = LockIsFreeForAnotherRun();
        };
        bool lockFreeAfterEnd = true;
        frontEnd.onSending = [&](HANDLE) {
            ASSERT_TRUE(
                device.WaitFor([](const VirtualDevice::Status& s) { return s.payloadBytes >= 4096; }, 20000));
            hold = true;
            ASSERT_EQ(::WaitForSingleObject(held.Get(), 20000), WAIT_OBJECT_0);
            run.End(RunOutcome::DeviceLost);
            lockFreeAfterEnd = LockIsFreeForAnotherRun();
            ::SetEvent(release.Get());
        };
        const RunResult result = run.Run(frontEnd);
        g_onEndMessage = nullptr;
        ::DestroyWindow(window);

        EXPECT_EQ(result.outcome, RunOutcome::DeviceLost);
        EXPECT_FALSE(lockFreeAfterEnd) << "released while the sender could still write";
        EXPECT_TRUE(LockIsFreeForAnotherRun()) << "released once the sender had ended";
        const auto lines = history.Lines();
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_TRUE(HistoryLineMatches(lines[1],
                                       R"(stage file=firm\.zpk .*outcome=failed taken=\d+ sender=not-ended)"))
            << lines[1];
        EXPECT_TRUE(HistoryLineMatches(lines[2], "run-end outcome=device-lost .*")) << lines[2];
        if (nested) {
            EXPECT_EQ(atNestedEnd, lines) << "the history was whole when the nested end returned";
            EXPECT_FALSE(lockFreeAtNestedEnd);
        }
    }
}

// Each hand-over starts a transfer afresh: a wait that also leaves on g_bTransferDone (the window's) must not
// leave on the previous sender's end. A stop asked for meanwhile stays asked for.
TEST(ImageHandOver, ResetsTheWholeTransferStateButKeepsAStop) {
    g_bTransferDone.store(1);
    g_bTransferFailed.store(1);
    g_cbSent = 5000;
    g_bTransferStopRequested.store(true);
    HandOverImage(UniqueHandle(), AllocateCHeap(IMAGE_LEAD_SIZE), IMAGE_LEAD_SIZE);
    EXPECT_EQ(g_bTransferDone.load(), 0);
    EXPECT_EQ(g_bTransferFailed.load(), 0);
    EXPECT_EQ(g_cbSent.load(), 0u);
    EXPECT_EQ(g_cbImage, IMAGE_LEAD_SIZE);
    EXPECT_TRUE(g_bTransferStopRequested.load());
    std::free(g_pImageData);
    g_pImageData = nullptr;
    g_bTransferStopRequested.store(false);
}

} // namespace
