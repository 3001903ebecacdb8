#include "engine/ImageTransfer.h"

#include "engine/ImageFormat.h"
#include "engine/TransferState.h"
#include "system/StayAwake.h"
#include "link/DeviceLink.h"
#include "texts/LangText.h"
#include "tests/engine/TransferChecks.h"
#include "tests/support/ScriptedPipeSys.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualDevice.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

namespace {

// Records what the sender does to the window, in order.
class RecordingUi final : public ImageSendUi {
public:
    void DisableUpdateButton() override { events.push_back("disable"); }
    void SetProgressPos(int pos) override {
        positions.push_back(pos);
        events.push_back("pos");
    }
    void ShowResultText(const char* text) override {
        resultText = text;
        events.push_back("result");
    }
    std::vector<std::string> events;
    std::vector<int> positions;
    std::string resultText;
    bool ShowedResult() const { return std::find(events.begin(), events.end(), "result") != events.end(); }
};

std::vector<std::uint32_t> ExpectedWrites(std::uint32_t payload) {
    std::vector<std::uint32_t> sizes{IMAGE_COMMAND_SIZE};
    for (std::uint32_t left = payload; left > 0; left -= std::min(left, IMAGE_CHUNK_SIZE))
        sizes.push_back(std::min(left, IMAGE_CHUNK_SIZE));
    return sizes;
}

class ImageSenderOnDevice : public ::testing::Test {
protected:
    // Sends one image through the device's PIPE00 and returns what the device stored for it.
    VirtualDevice::Image Send(const std::vector<BYTE>& image, RecordingUi& ui) {
        LinkOpenResult pipe = OpenPipeOnce(g_szPipeToDevice);
        EXPECT_TRUE(pipe.handle.IsValid());
        PrepareTransfer(image, pipe.handle.Release());
        RunImageSend(ui);
        ExpectEnded(false);
        ++m_sent;
        EXPECT_TRUE(m_device.WaitForImages(m_sent, 10000));
        const auto images = m_device.Images();
        return images.size() == m_sent ? images.back() : VirtualDevice::Image{};
    }

    VirtualDevice m_device;
    unsigned m_sent = 0;
};

TEST_F(ImageSenderOnDevice, DeviceGetsTheCommandOnceAndThePayloadInOrderInChunks) {
    ASSERT_TRUE(m_device.Running());
    for (const std::uint32_t payload : {4u, 2048u, 2049u, 204800u}) {
        SCOPED_TRACE(payload);
        std::vector<BYTE> image = MakeImage(IMAGE_HEADER_SIZE + payload, IMAGE_MARK, 0x80);
        std::fill(image.begin() + IMAGE_HEADER_SIZE, image.begin() + IMAGE_HEADER_SIZE + 4, 0x00);
        RecordingUi ui;
        const VirtualDevice::Image got = Send(image, ui);
        EXPECT_TRUE(got.complete);
        EXPECT_EQ(got.command, std::vector<std::uint8_t>(image.begin(), image.begin() + IMAGE_COMMAND_SIZE));
        EXPECT_EQ(got.payload, std::vector<std::uint8_t>(image.begin() + IMAGE_HEADER_SIZE, image.end()));
        EXPECT_EQ(got.writeSizes, ExpectedWrites(payload));
        EXPECT_EQ(g_cbSent, payload);
        ASSERT_FALSE(ui.events.empty());
        EXPECT_EQ(ui.events.front(), "disable");
        EXPECT_EQ(ui.events.back(), "result");
        EXPECT_EQ(ui.resultText, "Image sent.") << "text [message] 1030 of the shipped table";
    }
}

TEST_F(ImageSenderOnDevice, BarReceivesPayloadSentOverStepAfterEachChunk) {
    ASSERT_TRUE(m_device.Running());
    struct Case {
        std::uint32_t payload;
        std::vector<int> positions;
    };
    std::vector<int> oneToHundred(100);
    std::iota(oneToHundred.begin(), oneToHundred.end(), 1);
    const Case cases[] = {
        {150, {150}},
        {9999, {20, 41, 62, 82, 101}},
        {10000, {20, 40, 61, 81, 100}},
        {204800, oneToHundred},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload);
        RecordingUi ui;
        Send(MakeImage(IMAGE_HEADER_SIZE + c.payload), ui);
        EXPECT_EQ(ui.positions, c.positions);
    }
}

// The failures below end the transfer at once, as failed: no text 1030, nothing counted that the device did
// not take, the buffer freed, the pipe released, g_bTransferDone set.

// Execution states as the sender asks for them, with the asking thread.
std::vector<std::pair<EXECUTION_STATE, DWORD>> g_executionStates;

EXECUTION_STATE WINAPI RecordExecutionState(EXECUTION_STATE flags) {
    g_executionStates.emplace_back(flags, ::GetCurrentThreadId());
    return flags;
}

TEST(ImageSenderAwake, TheSystemStaysAwakeFromTheStartToTheEndOfEveryTransfer) {
    g_pfnSetThreadExecutionState = RecordExecutionState;
    const auto held = std::vector<std::pair<EXECUTION_STATE, DWORD>>{
        {ES_CONTINUOUS | ES_SYSTEM_REQUIRED, ::GetCurrentThreadId()},
        {ES_CONTINUOUS, ::GetCurrentThreadId()}};
    ScriptedOp atOnce, fails;
    atOnce.start = ScriptedOp::Start::Succeeds;
    fails.start = ScriptedOp::Start::FailsAtOnce;
    const std::pair<const char*, std::vector<ScriptedOp>> transfers[] = {{"sent", {atOnce, atOnce}},
                                                                         {"chunk failed", {atOnce, fails}}};
    for (const auto& transfer : transfers) {
        SCOPED_TRACE(transfer.first);
        g_executionStates.clear();
        ScriptedPipeSys sys(transfer.second);
        PrepareTransfer(MakeImage(IMAGE_HEADER_SIZE + 100), INVALID_HANDLE_VALUE);
        RecordingUi ui;
        RunImageSend(ui, sys);
        EXPECT_EQ(g_executionStates, held);
    }
    g_pfnSetThreadExecutionState = nullptr;
}

TEST(ImageSenderFailure, InvalidPipeEndsAtOnce) {
    PrepareTransfer(MakeImage(5000), INVALID_HANDLE_VALUE);
    RecordingUi ui;
    const auto begin = std::chrono::steady_clock::now();
    RunImageSend(ui);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1000));
    ExpectEnded(true);
    EXPECT_EQ(g_cbSent, 0u);
    EXPECT_TRUE(ui.positions.empty());
    EXPECT_FALSE(ui.ShowedResult());
}

TEST(ImageSenderFailure, CommandNeverTakenGivesUpAfterBoundedCalls) {
    ScriptedPipeSys sys(std::vector<ScriptedOp>(2 * IMAGE_COMMAND_MAX_CALLS + 1));
    PrepareTransfer(MakeImage(5000), INVALID_HANDLE_VALUE);
    RecordingUi ui;
    RunImageSend(ui, sys);
    ExpectEnded(true);
    EXPECT_EQ(sys.m_starts, 2 * IMAGE_COMMAND_MAX_CALLS) << "two attempts per call, no payload";
    EXPECT_EQ(sys.m_violations, 0);
    EXPECT_FALSE(ui.ShowedResult());
}

TEST(ImageSenderFailure, CommandThatMovedPartIsNotSentAgain) {
    ScriptedOp torn;
    torn.afterCancel = ScriptedOp::AfterCancel::MovedPart;
    torn.moved = 8;
    ScriptedPipeSys sys({torn, ScriptedOp{}});
    PrepareTransfer(MakeImage(5000), INVALID_HANDLE_VALUE);
    RecordingUi ui;
    RunImageSend(ui, sys);
    ExpectEnded(true);
    EXPECT_EQ(sys.m_starts, 1);
}

TEST(ImageSenderFailure, ChunkNotTakenStopsTheTransferThere) {
    ScriptedOp atOnce;
    atOnce.start = ScriptedOp::Start::Succeeds;
    // command, first chunk, then a chunk whose both attempts time out, and one more that must never start
    ScriptedPipeSys sys({atOnce, atOnce, ScriptedOp{}, ScriptedOp{}, atOnce});
    PrepareTransfer(MakeImage(IMAGE_HEADER_SIZE + 3 * IMAGE_CHUNK_SIZE), INVALID_HANDLE_VALUE);
    RecordingUi ui;
    RunImageSend(ui, sys);
    ExpectEnded(true);
    EXPECT_EQ(sys.m_starts, 4);
    EXPECT_EQ(g_cbSent, IMAGE_CHUNK_SIZE);
    EXPECT_EQ(ui.positions, std::vector<int>{2048 / 61});
    EXPECT_FALSE(ui.ShowedResult());
}

// Writes the system completes short: only the bytes it says it moved count, on the bar too, and the rest of
// a chunk goes out next, from where the device's bytes end.
TEST(ImageSenderShortWrite, CountsOnlyTheBytesMovedAndSendsTheRestOrFails) {
    constexpr DWORD ALL = ScriptedOp::ALL;
    const auto atOnce = [](DWORD moved) {
        ScriptedOp op;
        op.start = ScriptedOp::Start::Succeeds;
        op.moved = moved;
        return op;
    };
    ScriptedOp cutOff; // both attempts time out; the cancel finds 700 bytes gone
    cutOff.afterCancel = ScriptedOp::AfterCancel::MovedPart;
    cutOff.moved = 700;
    struct Case {
        const char* name;
        std::vector<ScriptedOp> script;
        bool failed;
        std::vector<DWORD> lengths; // asked of each write
        std::uint32_t sent;         // g_cbSent at the end
        std::vector<int> positions;
    };
    const Case cases[] = {
        {"a chunk short, then its rest",
         {atOnce(ALL), atOnce(1000), atOnce(ALL)},
         false,
         {20, 2048, 2000},
         3000,
         {33, 100}},
        {"a chunk that moved nothing", {atOnce(ALL), atOnce(0), atOnce(ALL)}, true, {20, 2048}, 0, {}},
        {"the command short", {atOnce(10), atOnce(ALL)}, true, {20}, 0, {}},
        {"cut off after part of a chunk",
         {atOnce(ALL), atOnce(ALL), cutOff, atOnce(ALL)},
         true,
         {20, 2048, 952},
         2048 + 700,
         {68}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPipeSys sys(c.script);
        PrepareTransfer(MakeImage(IMAGE_HEADER_SIZE + 3000), INVALID_HANDLE_VALUE);
        const BYTE* payload = g_pImageData + IMAGE_HEADER_SIZE;
        RecordingUi ui;
        RunImageSend(ui, sys);
        ExpectEnded(c.failed);
        EXPECT_EQ(sys.m_lengths, c.lengths) << "no write after a failed one";
        if (c.lengths.size() > 2) {
            EXPECT_EQ(static_cast<const BYTE*>(sys.m_buffers[2]), payload + 3000 - c.lengths[2])
                << "the next write starts where the device's bytes end";
        }
        EXPECT_EQ(g_cbSent.load(), c.sent);
        EXPECT_EQ(ui.positions, c.positions);
        EXPECT_EQ(ui.ShowedResult(), !c.failed);
    }
}

TEST(ImageSenderFailure, DeviceLostMidTransferEndsPromptlyWithoutClaimingTheRest) {
    VirtualDevice device({"--unplug-after-bytes", "100000"});
    ASSERT_TRUE(device.Running());
    LinkOpenResult pipe = OpenPipeOnce(g_szPipeToDevice);
    ASSERT_TRUE(pipe.handle.IsValid());
    const std::vector<BYTE> image = MakeImage(IMAGE_HEADER_SIZE + 1024 * 1024);
    PrepareTransfer(image, pipe.handle.Release());
    RecordingUi ui;
    const auto begin = std::chrono::steady_clock::now();
    RunImageSend(ui);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
    ExpectEnded(true);
    EXPECT_LT(g_cbSent, image.size() - IMAGE_HEADER_SIZE);
    EXPECT_FALSE(ui.ShowedResult());

    ASSERT_TRUE(device.WaitForImages(1, 10000));
    const auto images = device.Images();
    ASSERT_EQ(images.size(), 1u);
    EXPECT_FALSE(images[0].complete);
    const auto& got = images[0].payload;
    ASSERT_LE(got.size(), image.size() - IMAGE_HEADER_SIZE);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), image.begin() + IMAGE_HEADER_SIZE)) << "no gap, no repeat";
}

} // namespace
