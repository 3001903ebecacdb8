#include "link/IdentityProbe.h"

#include "link/DeviceLink.h"
#include "link/ProbeState.h"
#include "tests/support/ScriptedPipeSys.h"
#include "tests/support/VirtualDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

// A short stand-in for the busy delay (the real one is timed once, below); records that it ran.
int g_delayRuns = 0;
void ShortDelay() {
    ++g_delayRuns;
    ::Sleep(1500);
}

class IdentityProbe : public ::testing::Test {
protected:
    void SetUp() override {
        g_bDeviceIdentified.store(0);
        std::memset(g_abProbeReply, 0, sizeof(g_abProbeReply));
    }

    // Runs one probe against `device` the way an update run does, on a freshly opened PIPE00.
    bool Probe(VirtualDevice& device) {
        EXPECT_TRUE(device.Running());
        g_delayRuns = 0;
        LinkOpenResult pipe = OpenPipeOnce(g_szPipeToDevice);
        const auto begin = Clock::now();
        const bool identified = ProbeDeviceIdentity(pipe.handle.Get(), nullptr, ShortDelay);
        m_elapsed = Clock::now() - begin;
        EXPECT_EQ(g_delayRuns, 1) << "the delay runs whole whatever the worker does";
        pipe.handle.Reset();
        // The stopped worker has released PIPE01 (and PIPE00 is closed above).
        EXPECT_TRUE(
            device.WaitFor([](const VirtualDevice::Status& s) { return s.openConnections == 0; }, 5000));
        return identified;
    }

    Clock::duration m_elapsed{};
};

TEST_F(IdentityProbe, ReplyStartingWithBIdentifiesTheDevice) {
    VirtualDevice device;
    EXPECT_TRUE(Probe(device));
    EXPECT_EQ(g_abProbeReply[0], 'B');
    const auto status = device.GetStatus();
    EXPECT_EQ(status.identityRequests, 1u);
    const auto writes = device.Writes();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes[0].pipe, "PIPE00");
    EXPECT_EQ(writes[0].size, 1u);
    EXPECT_EQ(writes[0].head, std::vector<std::uint8_t>{0x21});
}

TEST_F(IdentityProbe, SingleByteOrLateReplyStartingWithBIdentifiesTheDevice) {
    VirtualDevice oneByte({"--reply-size", "1"});
    EXPECT_TRUE(Probe(oneByte));
    g_bDeviceIdentified.store(0);
    VirtualDevice late({"--reply-delay-ms", "400"});
    EXPECT_TRUE(Probe(late));
}

TEST_F(IdentityProbe, AReplyLaterThanABusyMachinesShortDelayStillIdentifiesTheDevice) {
    VirtualDevice late({"--reply-delay-ms", "400"});
    LinkOpenResult pipe = OpenPipeOnce(g_szPipeToDevice);
    EXPECT_TRUE(ProbeDeviceIdentity(pipe.handle.Get(), nullptr, [] {}));
}

TEST_F(IdentityProbe, OtherFirstByteOrNoReplyIsNotTheExpectedModel) {
    VirtualDevice lowerCase({"--identity-byte", "b"});
    EXPECT_FALSE(Probe(lowerCase));
    EXPECT_EQ(g_abProbeReply[0], 'b');

    VirtualDevice silent({"--no-reply"});
    EXPECT_FALSE(Probe(silent));
    // The worker still reading when the delay ends is stopped promptly, not after its reads run out.
    EXPECT_LT(m_elapsed, std::chrono::milliseconds(1500 + 1000));
    EXPECT_EQ(silent.GetStatus().repliesSent, 0u);
}

TEST_F(IdentityProbe, ReplyPipeThatCannotBeOpenedIsNotTheExpectedModel) {
    VirtualDevice device;
    char saved[sizeof(g_szPipeFromDevice)];
    std::memcpy(saved, g_szPipeFromDevice, sizeof(saved));
    std::strcpy(g_szPipeFromDevice, "PIPE77");
    const bool identified = Probe(device);
    std::memcpy(g_szPipeFromDevice, saved, sizeof(saved));
    EXPECT_FALSE(identified);
    EXPECT_EQ(device.GetStatus().pipe01Connections, 0u);
}

TEST_F(IdentityProbe, OnceIdentifiedLaterProbesPassWhateverTheDeviceAnswers) {
    VirtualDevice genuine;
    ASSERT_TRUE(Probe(genuine));
    VirtualDevice other({"--identity-byte", "b"});
    EXPECT_TRUE(Probe(other));
    EXPECT_EQ(other.GetStatus().identityRequests, 1u) << "the request is still written";
}

TEST(IdentityProbeDelay, BusyDelayReallyRuns) {
    // 648,000,000 passes cannot take less than ~130 ms on any current processor; a dropped loop takes ~0.
    const auto begin = Clock::now();
    ProbeBusyDelay();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin).count();
    RecordProperty("BusyDelayMs", static_cast<int>(ms));
    EXPECT_GE(ms, 100);
}

} // namespace

namespace {

TEST(IdentityReplyReads, StopAfter3002ReadsThatDoNotCompleteOrAtTheFirstThatDoes) {
    const HANDLE pipe = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x4321));
    g_bProbeStopRequested.store(false);
    g_bDeviceIdentified.store(0);
    ScriptedOp failing;
    failing.start = ScriptedOp::Start::FailsAtOnce;
    ScriptedPipeSys none(std::vector<ScriptedOp>(IDENTITY_MAX_READS + 5, failing));
    ReadIdentityReply(pipe, none);
    EXPECT_EQ(none.m_starts, 3002);
    EXPECT_EQ(g_bDeviceIdentified.load(), 0);

    ScriptedOp reply;
    reply.start = ScriptedOp::Start::Succeeds;
    reply.moved = 1;
    g_abProbeReply[0] = 'B';
    ScriptedPipeSys third({failing, failing, reply, reply});
    ReadIdentityReply(pipe, third);
    EXPECT_EQ(third.m_starts, 3);
    EXPECT_EQ(g_bDeviceIdentified.load(), 1);
    g_bDeviceIdentified.store(0);
}

} // namespace
