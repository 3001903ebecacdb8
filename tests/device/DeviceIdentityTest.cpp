// The identity request on PIPE00 and the reply variants on PIPE01.
#include "tests/device/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace devicetest;

namespace {

// Writes the request the way the program does: one byte, plain WriteFile without an OVERLAPPED record.
void sendIdentityRequest(const LinkLibrary& link) {
    UniqueHandle pipe = link.openFile("PIPE00");
    ASSERT_TRUE(pipe.IsValid());
    const char request = 0x21;
    DWORD written = 0;
    WriteFile(pipe.Get(), &request, 1, &written, nullptr);
}

struct Reply {
    Transfer transfer;
    std::string bytes;
};

Reply readReply(HANDLE pipe, DWORD timeoutMs) {
    char buffer[10] = {};
    Reply reply;
    reply.transfer = readPipe(pipe, buffer, sizeof buffer, timeoutMs);
    reply.bytes.assign(buffer, reply.transfer.completed ? reply.transfer.bytes : 0);
    return reply;
}

} // namespace

TEST(DeviceIdentity, ReplyArrivesWhetherAskedBeforeOrAfterTheReadIsPosted) {
    VirtualDevice dev;
    LinkLibrary link;

    // Asked before: the reply waits for the next PIPE01 connection's read.
    sendIdentityRequest(link);
    {
        UniqueHandle reply = link.openFile("PIPE01");
        ASSERT_TRUE(reply.IsValid());
        const Reply r = readReply(reply.Get(), 3000);
        EXPECT_TRUE(r.transfer.completed);
        EXPECT_EQ(r.bytes, "BOSTRELSIM");
    }

    // Asked after the read is posted: the pending read completes.
    UniqueHandle reply = link.openFile("PIPE01");
    ASSERT_TRUE(reply.IsValid());
    char buffer[10] = {};
    OVERLAPPED ov{};
    ASSERT_FALSE(ReadFile(reply.Get(), buffer, sizeof buffer, nullptr, &ov));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    sendIdentityRequest(link);
    DWORD bytes = 0;
    const ULONGLONG deadline = GetTickCount64() + 3000;
    BOOL done = FALSE;
    while (!(done = GetOverlappedResult(reply.Get(), &ov, &bytes, FALSE)) && GetTickCount64() < deadline) {
        Sleep(1);
    }
    if (!done) {
        CancelIo(reply.Get());
        GetOverlappedResult(reply.Get(), &ov, &bytes, TRUE);
    }
    EXPECT_TRUE(done);
    EXPECT_EQ(std::string(buffer, bytes), "BOSTRELSIM");

    EXPECT_TRUE(dev.WaitFor([](const VirtualDevice::Status& st) { return st.repliesSent == 2; }, 3000));
    const VirtualDevice::Status s = dev.GetStatus();
    EXPECT_EQ(s.identityRequests, 2u);
    EXPECT_EQ(s.repliesSent, 2u);
    EXPECT_EQ(s.imagesStarted, 0u);
}

struct VariantCase {
    const char* name;
    std::vector<std::string> options;
    bool answers;
    std::string reply;
};

void PrintTo(const VariantCase& c, std::ostream* out) {
    *out << c.name;
}

class DeviceIdentityVariant : public ::testing::TestWithParam<VariantCase> {};

TEST_P(DeviceIdentityVariant, ReplyAsConfigured) {
    const VariantCase& c = GetParam();
    VirtualDevice dev(c.options);
    LinkLibrary link;
    sendIdentityRequest(link);
    UniqueHandle pipe = link.openFile("PIPE01");
    ASSERT_TRUE(pipe.IsValid());
    const Reply r = readReply(pipe.Get(), 800);
    EXPECT_EQ(r.transfer.completed, c.answers);
    EXPECT_EQ(r.bytes, c.reply);
    EXPECT_TRUE(dev.WaitFor([](const VirtualDevice::Status& s) { return s.identityRequests == 1; }, 3000));
}

INSTANTIATE_TEST_SUITE_P(
    Options, DeviceIdentityVariant,
    ::testing::Values(VariantCase{"LowerCaseB", {"--identity-byte", "b"}, true, "bOSTRELSIM"},
                      VariantCase{
                          "ZeroByte", {"--identity-byte", "0x00"}, true, std::string("\0OSTRELSIM", 10)},
                      VariantCase{"OneByte", {"--reply-size", "1"}, true, "B"},
                      VariantCase{"NoReply", {"--no-reply"}, false, ""}),
    [](const ::testing::TestParamInfo<VariantCase>& info) { return std::string(info.param.name); });

TEST(DeviceIdentity, DelayedReplyComesLate) {
    VirtualDevice dev({"--reply-delay-ms", "600"});
    LinkLibrary link;
    sendIdentityRequest(link);
    UniqueHandle pipe = link.openFile("PIPE01");
    ASSERT_TRUE(pipe.IsValid());
    const Reply r = readReply(pipe.Get(), 5000);
    EXPECT_TRUE(r.transfer.completed);
    EXPECT_TRUE(r.transfer.pendedAtStart);
    EXPECT_GE(r.transfer.elapsedMs, 400u);
    EXPECT_EQ(r.bytes, "BOSTRELSIM");
}

TEST(DeviceIdentity, OtherWritesAreNoRequests) {
    VirtualDevice dev;
    LinkLibrary link;
    UniqueHandle pipe = link.openFile("PIPE00");
    ASSERT_TRUE(pipe.IsValid());
    const char twoBytes[] = {0x21, 0x21};
    EXPECT_TRUE(writePipe(pipe.Get(), twoBytes, 2).completed);
    const char other = 'x';
    EXPECT_TRUE(writePipe(pipe.Get(), &other, 1).completed);
    ASSERT_TRUE(dev.WaitFor([](const VirtualDevice::Status& s) { return s.writes == 2; }, 3000));
    EXPECT_EQ(dev.GetStatus().identityRequests, 0u);
    const std::vector<VirtualDevice::Write> writes = dev.Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].size, 2u);
    EXPECT_EQ(writes[1].head, std::vector<std::uint8_t>{'x'});
}
