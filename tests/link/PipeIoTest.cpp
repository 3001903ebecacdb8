#include "link/PipeIo.h"

#include "link/DeviceLink.h"
#include "tests/support/ScriptedPipeSys.h"
#include "tests/support/VirtualDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

using Op = ScriptedOp;
const HANDLE PIPE = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x1234));

Op Pending(DWORD completeAtPoll, DWORD moved = 0) {
    Op op;
    op.completeAtPoll = completeAtPoll;
    op.moved = moved;
    return op;
}

Op AtOnce(Op::Start start, DWORD moved = 0) {
    Op op;
    op.start = start;
    op.moved = moved;
    return op;
}

Op CancelledWith(Op::AfterCancel afterCancel, DWORD moved) {
    Op op;
    op.afterCancel = afterCancel;
    op.moved = moved;
    return op;
}

// The rules every call keeps, whatever its outcome.
void ExpectClean(const ScriptedPipeSys& sys) {
    EXPECT_EQ(sys.m_violations, 0);
    EXPECT_FALSE(sys.InFlight()) << "returned while the system still owned the record";
    EXPECT_TRUE(sys.m_recordZeroedAtFirstStart);
}

char g_buffer[2048];

TEST(BoundedPipeCall, CompletesAtOnceWithoutPollOrSleep) {
    for (const bool write : {true, false}) {
        ScriptedPipeSys sys({AtOnce(Op::Start::Succeeds, 20)});
        const PipeResult result = write ? WritePipeBounded(PIPE, g_buffer, 20, 1000, sys)
                                        : ReadPipeBounded(PIPE, g_buffer, 20, 1000, nullptr, sys);
        EXPECT_EQ(result, PipeResult::Completed);
        EXPECT_EQ(sys.m_starts, 1);
        EXPECT_EQ(sys.m_polls, 0);
        EXPECT_EQ(sys.m_sleeps, 0);
        EXPECT_EQ(sys.m_cancels, 0);
        ExpectClean(sys);
    }
}

TEST(BoundedPipeCall, PendingWriteCompletingAtTheLastPollIsNotCancelled) {
    ScriptedPipeSys sys({Pending(1000, 2048)});
    EXPECT_EQ(WritePipeBounded(PIPE, g_buffer, 2048, 1000, sys), PipeResult::Completed);
    EXPECT_EQ(sys.m_starts, 1);
    EXPECT_EQ(sys.m_polls, 1000);
    EXPECT_EQ(sys.m_sleeps, 999);
    EXPECT_EQ(sys.m_cancels, 0);
    EXPECT_EQ(sys.m_blockingWaits, 0);
    ExpectClean(sys);
}

TEST(BoundedPipeCall, BothAttemptsTimingOutCancelTwiceOnTheSameRecordAndBuffer) {
    ScriptedPipeSys sys({Pending(0), Pending(0)});
    EXPECT_EQ(WritePipeBounded(PIPE, g_buffer, 2048, 2000, sys), PipeResult::TimedOut);
    EXPECT_EQ(sys.m_starts, 2);
    EXPECT_EQ(sys.m_polls, 4000);
    EXPECT_EQ(sys.m_sleeps, 4000);
    EXPECT_EQ(sys.m_cancels, 2);
    EXPECT_EQ(sys.m_blockingWaits, 2) << "each cancelled operation is collected";
    ASSERT_EQ(sys.m_buffers.size(), 2u);
    EXPECT_EQ(sys.m_buffers[0], sys.m_buffers[1]);
    ExpectClean(sys);
}

TEST(BoundedPipeCall, BothAttemptsTimingOutTakeAtLeastTwiceTheLimitInMilliseconds) {
    ScriptedPipeSys sys({Pending(0), Pending(0)});
    sys.m_realSleep = true;
    constexpr DWORD LIMIT = 250;
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(IsCompleted(WritePipeBounded(PIPE, g_buffer, 20, LIMIT, sys)));
    const auto elapsed = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 2 * LIMIT);
}

TEST(BoundedPipeCall, ImmediateFailureNeitherWaitsNorCancelsNorRetries) {
    ScriptedPipeSys sys({AtOnce(Op::Start::FailsAtOnce)});
    EXPECT_EQ(WritePipeBounded(PIPE, g_buffer, 20, 1000, sys), PipeResult::Failed);
    EXPECT_EQ(sys.m_starts, 1);
    EXPECT_EQ(sys.m_polls, 0);
    EXPECT_EQ(sys.m_sleeps, 0);
    EXPECT_EQ(sys.m_cancels, 0);
    EXPECT_EQ(sys.m_blockingWaits, 0);
    ExpectClean(sys);
}

TEST(BoundedPipeCall, RetryAfterTimeOutThatCompletesAtOnceCompletes) {
    ScriptedPipeSys sys({Pending(0), AtOnce(Op::Start::Succeeds, 20)});
    EXPECT_EQ(WritePipeBounded(PIPE, g_buffer, 20, 1000, sys), PipeResult::Completed);
    EXPECT_EQ(sys.m_starts, 2);
    EXPECT_EQ(sys.m_cancels, 1);
    ExpectClean(sys);
}

TEST(BoundedPipeCall, RetryThatFailsAtOnceIsNotCompleted) {
    Op broken = AtOnce(Op::Start::FailsAtOnce);
    broken.error = ERROR_BROKEN_PIPE;
    ScriptedPipeSys sys({Pending(0), broken});
    EXPECT_EQ(WritePipeBounded(PIPE, g_buffer, 20, 1000, sys), PipeResult::Failed);
    EXPECT_EQ(sys.m_cancels, 1);
    ExpectClean(sys);
}

TEST(BoundedPipeCall, WriteThatCompletedDespiteTheCancelIsNotSentAgain) {
    ScriptedPipeSys sys({CancelledWith(Op::AfterCancel::CompletedAfterAll, 2048)});
    EXPECT_EQ(WritePipeBounded(PIPE, g_buffer, 2048, 2000, sys), PipeResult::Completed);
    EXPECT_EQ(sys.m_starts, 1);
    EXPECT_EQ(sys.m_cancels, 1);
    ExpectClean(sys);
}

TEST(BoundedPipeCall, WriteCancelledAfterMovingPartIsNeitherCompletedNorRetried) {
    ScriptedPipeSys sys({CancelledWith(Op::AfterCancel::MovedPart, 10)});
    EXPECT_EQ(WritePipeBounded(PIPE, g_buffer, 200, 2000, sys), PipeResult::Partial);
    EXPECT_EQ(sys.m_starts, 1);
    ExpectClean(sys);
}

TEST(BoundedPipeCall, ShortReadCountsAsCompleted) {
    ScriptedPipeSys atOnce({AtOnce(Op::Start::Succeeds, 1)});
    EXPECT_EQ(ReadPipeBounded(PIPE, g_buffer, 10, 1000, nullptr, atOnce), PipeResult::Completed);
    ScriptedPipeSys later({Pending(7, 1)});
    EXPECT_EQ(ReadPipeBounded(PIPE, g_buffer, 10, 1000, nullptr, later), PipeResult::Completed);
    EXPECT_EQ(later.m_polls, 7);
    ExpectClean(later);
}

TEST(BoundedPipeCall, RaisedStopFlagCancelsTheReadWithoutRetryAndStartsNoOther) {
    {
        SCOPED_TRACE("raised while the read waits");
        std::atomic<bool> stop{false};
        ScriptedPipeSys sys({Pending(0)});
        sys.m_stopFlag = &stop;
        sys.m_raiseStopAtPoll = 3;
        EXPECT_EQ(ReadPipeBounded(PIPE, g_buffer, 10, 1000, &stop, sys), PipeResult::Stopped);
        EXPECT_EQ(sys.m_starts, 1);
        EXPECT_EQ(sys.m_polls, 3);
        EXPECT_EQ(sys.m_cancels, 1);
        ExpectClean(sys);
    }
    {
        // The reply that a read started now would take is no longer looked at.
        SCOPED_TRACE("raised before the call");
        std::atomic<bool> stop{true};
        ScriptedPipeSys sys({AtOnce(Op::Start::Succeeds, 1)});
        EXPECT_EQ(ReadPipeBounded(PIPE, g_buffer, 10, 1000, &stop, sys), PipeResult::Stopped);
        EXPECT_EQ(sys.m_starts, 0);
        EXPECT_EQ(sys.m_cancels, 0);
    }
    {
        SCOPED_TRACE("raised while the timed-out read is cancelled");
        std::atomic<bool> stop{false};
        ScriptedPipeSys sys({Pending(0), AtOnce(Op::Start::Succeeds, 1)});
        sys.m_stopFlag = &stop;
        sys.m_raiseStopAtCancel = true;
        EXPECT_EQ(ReadPipeBounded(PIPE, g_buffer, 10, 1000, &stop, sys), PipeResult::Stopped);
        EXPECT_EQ(sys.m_starts, 1) << "a retry was started after the stop";
        ExpectClean(sys);
    }
}

TEST(BoundedPipeCall, SingleWriteDoesNotRetryAfterTimeOut) {
    ScriptedPipeSys sys({Pending(0)});
    EXPECT_EQ(WritePipeOnce(PIPE, g_buffer, 1, 1000, sys), PipeResult::TimedOut);
    EXPECT_EQ(sys.m_starts, 1);
    EXPECT_EQ(sys.m_polls, 1000);
    EXPECT_EQ(sys.m_cancels, 1);
    ExpectClean(sys);
}

TEST(BoundedPipeCall, InvalidHandleFailsAtOnceOnTheRealSystem) {
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(WritePipeBounded(INVALID_HANDLE_VALUE, g_buffer, 20, 1000), PipeResult::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(500));
}

// Passes every call to the system and counts the polls, to tell whether a write really went pending.
class CountingRealSys final : public PipeSys {
public:
    BOOL WriteFile(HANDLE h, const void* d, DWORD n, DWORD* m, OVERLAPPED* ov) override {
        return RealPipeSys().WriteFile(h, d, n, m, ov);
    }
    BOOL ReadFile(HANDLE h, void* d, DWORD n, DWORD* m, OVERLAPPED* ov) override {
        return RealPipeSys().ReadFile(h, d, n, m, ov);
    }
    BOOL GetOverlappedResult(HANDLE h, OVERLAPPED* ov, DWORD* m, BOOL wait) override {
        ++m_polls;
        return RealPipeSys().GetOverlappedResult(h, ov, m, wait);
    }
    BOOL CancelIo(HANDLE h) override {
        ++m_cancels;
        return RealPipeSys().CancelIo(h);
    }
    void Sleep(DWORD ms) override { RealPipeSys().Sleep(ms); }
    int m_polls = 0;
    int m_cancels = 0;
};

TEST(BoundedPipeCallOnDevice, WriteThatGoesPendingOnAFullPipeCompletes) {
    // A rate-limited device keeps a 1 KiB in-buffer and reads a twentieth of its rate at a time, here 1000
    // bytes: a 4 KiB write has to wait for the device's next reads, even when its first read was already
    // waiting for the write.
    VirtualDevice device({"--rate", "20000"});
    ASSERT_TRUE(device.Running());
    LinkOpenResult pipe = OpenPipeOnce(g_szPipeToDevice);
    ASSERT_TRUE(pipe.libraryLoaded);
    ASSERT_TRUE(pipe.handle.IsValid());

    std::vector<BYTE> data(4096);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<BYTE>(i * 7);
    data[0] = 0x25; // the device stores a connection as an image when it starts with the image mark
    CountingRealSys sys;
    EXPECT_EQ(WritePipeBounded(pipe.handle.Get(), data.data(), static_cast<DWORD>(data.size()), 2000, sys),
              PipeResult::Completed);
    EXPECT_GT(sys.m_polls, 0) << "the write never went pending";
    EXPECT_EQ(sys.m_cancels, 0);
    pipe.handle.Reset();

    ASSERT_TRUE(device.WaitForImages(1, 10000));
    const auto images = device.Images();
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].command, std::vector<std::uint8_t>(data.begin(), data.begin() + 20));
    EXPECT_EQ(images[0].payload, std::vector<std::uint8_t>(data.begin() + 20, data.end()));
}

} // namespace
