// Images sent the way the program sends them, and the device's misbehaviour on request.
#include "system/Sha256.h"
#include "tests/device/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace devicetest;

namespace {

constexpr DWORD CHUNK = 2048;

std::vector<std::uint8_t> makeCommand(std::uint8_t seed) {
    std::vector<std::uint8_t> command(20);
    command[0] = 0x25;
    command[1] = 0x01;
    for (std::size_t i = 2; i < command.size(); ++i) {
        command[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    return command;
}

std::vector<std::uint8_t> makePayload(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> payload(size);
    for (std::uint8_t& byte : payload) {
        byte = static_cast<std::uint8_t>(random());
    }
    return payload;
}

// One 20-byte write, then chunks of at most 2048 bytes; returns false at the first write that did not
// complete.
bool sendImage(HANDLE pipe, const std::vector<std::uint8_t>& command,
               const std::vector<std::uint8_t>& payload) {
    if (!writePipe(pipe, command.data(), static_cast<DWORD>(command.size())).completed) {
        return false;
    }
    for (std::size_t sent = 0; sent < payload.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(payload.size() - sent, CHUNK));
        if (!writePipe(pipe, payload.data() + sent, chunk).completed) {
            return false;
        }
        sent += chunk;
    }
    return true;
}

std::string imageLogLine(const VirtualDevice& dev, unsigned index) {
    for (const std::string& line : dev.LogLines()) {
        if (line.find("\"event\":\"image\",\"image\":" + std::to_string(index) + ",") != std::string::npos) {
            return line;
        }
    }
    return "";
}

} // namespace

TEST(DeviceImage, RecordedByteForByteWithWriteSizesInArrivalOrder) {
    VirtualDevice dev;
    LinkLibrary link;
    const std::vector<std::uint8_t> command1 = makeCommand(1), command2 = makeCommand(2);
    const std::vector<std::uint8_t> payload1 = makePayload(5000, 1), payload2 = makePayload(4, 2);
    {
        UniqueHandle pipe = link.openFile("PIPE00");
        ASSERT_TRUE(pipe.IsValid());
        ASSERT_TRUE(sendImage(pipe.Get(), command1, payload1));
    }
    {
        UniqueHandle request = link.openFile("PIPE00"); // an identity request in between is no image
        const std::uint8_t bang = 0x21;
        ASSERT_TRUE(writePipe(request.Get(), &bang, 1).completed);
    }
    {
        UniqueHandle pipe = link.openFile("PIPE00");
        ASSERT_TRUE(sendImage(pipe.Get(), command2, payload2));
    }
    ASSERT_TRUE(dev.WaitForImages(2, 5000));

    const std::vector<VirtualDevice::Image> images = dev.Images();
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].command, command1);
    EXPECT_EQ(images[0].payload, payload1);
    EXPECT_EQ(images[0].writeSizes, (std::vector<std::uint32_t>{20, 2048, 2048, 904}));
    EXPECT_TRUE(images[0].complete);
    EXPECT_EQ(images[1].command, command2);
    EXPECT_EQ(images[1].payload, payload2);
    EXPECT_EQ(images[1].writeSizes, (std::vector<std::uint32_t>{20, 4}));

    Sha256 whole;
    whole.Update(command1.data(), command1.size());
    whole.Update(payload1.data(), payload1.size());
    const std::string line = imageLogLine(dev, 1);
    EXPECT_NE(line.find("\"total_size\":5020,"), std::string::npos) << line;
    EXPECT_NE(line.find("\"sha256\":\"" + whole.FinishHex() + "\""), std::string::npos) << line;

    ASSERT_TRUE(dev.WaitFor([](const VirtualDevice::Status& st) { return st.identityRequests == 1; }, 3000));
    const VirtualDevice::Status s = dev.GetStatus();
    EXPECT_EQ(s.imagesCompleted, 2u);
    EXPECT_EQ(s.payloadBytes, 5004u);
    EXPECT_EQ(s.identityRequests, 1u);
    EXPECT_EQ(s.openConnections, 0u);
    const std::string console = dev.ConsoleOutput();
    EXPECT_NE(console.find("image 1: complete, 5020 bytes"), std::string::npos) << console;
    EXPECT_NE(console.find("image 2: complete, 24 bytes"), std::string::npos) << console;
}

TEST(DeviceImage, RateLimitMakesWritesPendAndCompleteLater) {
    VirtualDevice dev({"--rate", "8192"});
    LinkLibrary link;
    UniqueHandle pipe = link.openFile("PIPE00");
    ASSERT_TRUE(pipe.IsValid());
    const std::vector<std::uint8_t> command = makeCommand(3);
    const std::vector<std::uint8_t> payload = makePayload(2 * CHUNK, 3);
    ASSERT_TRUE(writePipe(pipe.Get(), command.data(), 20).completed);
    for (int chunk = 0; chunk < 2; ++chunk) {
        const Transfer t = writePipe(pipe.Get(), payload.data() + chunk * CHUNK, CHUNK);
        EXPECT_TRUE(t.pendedAtStart) << "chunk " << chunk;
        EXPECT_TRUE(t.completed) << "chunk " << chunk << " error " << t.error;
        EXPECT_GE(t.elapsedMs, 50u) << "chunk " << chunk;
    }
    pipe.Reset();
    ASSERT_TRUE(dev.WaitForImages(1, 5000));
    const std::vector<VirtualDevice::Image> images = dev.Images();
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].payload, payload);
}

TEST(DeviceImage, UnplugDuringAPendingWriteFailsItPromptly) {
    VirtualDevice dev({"--rate", "1024"});
    LinkLibrary link;
    UniqueHandle pipe = link.openFile("PIPE00");
    ASSERT_TRUE(pipe.IsValid());
    const std::vector<std::uint8_t> command = makeCommand(4);
    const std::vector<std::uint8_t> payload = makePayload(CHUNK, 4);
    ASSERT_TRUE(writePipe(pipe.Get(), command.data(), 20).completed);
    // A completed write only means the command is in the pipe: the device starts the image when it reads it,
    // and an unplug before that would leave no image to break.
    ASSERT_TRUE(dev.WaitFor([](const VirtualDevice::Status& s) { return s.imagesStarted == 1; }, 10000));

    OVERLAPPED ov{};
    ASSERT_FALSE(WriteFile(pipe.Get(), payload.data(), CHUNK, nullptr, &ov));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    ASSERT_TRUE(dev.Unplug());
    const ULONGLONG unplugged = GetTickCount64();
    DWORD bytes = 0;
    BOOL ok = FALSE;
    DWORD error = ERROR_IO_INCOMPLETE;
    while (GetTickCount64() - unplugged < 3000) {
        ok = GetOverlappedResult(pipe.Get(), &ov, &bytes, FALSE);
        error = ok ? 0 : GetLastError();
        if (ok || error != ERROR_IO_INCOMPLETE) {
            break;
        }
        Sleep(1);
    }
    if (!ok && error == ERROR_IO_INCOMPLETE) {
        CancelIo(pipe.Get());
        GetOverlappedResult(pipe.Get(), &ov, &bytes, TRUE);
    }
    EXPECT_FALSE(ok);
    EXPECT_NE(error, static_cast<DWORD>(ERROR_IO_INCOMPLETE))
        << "the write was still pending after the unplug";
    EXPECT_FALSE(writePipe(pipe.Get(), payload.data(), 1, 500).completed);
    EXPECT_FALSE(devicePresent(link));

    const VirtualDevice::Status s = dev.GetStatus();
    EXPECT_FALSE(s.plugged);
    EXPECT_EQ(s.imagesBroken, 1u);
    EXPECT_EQ(s.openConnections, 0u);
    const std::vector<VirtualDevice::Image> images = dev.Images();
    ASSERT_EQ(images.size(), 1u);
    EXPECT_FALSE(images[0].complete);
}

TEST(DeviceImage, UnplugInImageTwoLeavesTheFirstWhole) {
    VirtualDevice dev({"--unplug-in-image", "2", "--pipe-buffer", "1024"});
    LinkLibrary link;
    const std::vector<std::uint8_t> command = makeCommand(5);
    const std::vector<std::uint8_t> payload = makePayload(3000, 5);
    {
        UniqueHandle pipe = link.openFile("PIPE00");
        ASSERT_TRUE(sendImage(pipe.Get(), command, payload));
    }
    UniqueHandle pipe = link.openFile("PIPE00");
    EXPECT_FALSE(sendImage(pipe.Get(), command, payload));
    EXPECT_TRUE(dev.WaitFor([](const VirtualDevice::Status& s) { return !s.plugged; }, 3000));
    EXPECT_FALSE(devicePresent(link));
    const VirtualDevice::Status s = dev.GetStatus();
    EXPECT_EQ(s.imagesCompleted, 1u);
    EXPECT_EQ(s.imagesBroken, 1u);
    EXPECT_EQ(dev.Images().at(0).payload, payload);
}

TEST(DeviceImage, UnplugAfterBytesCountsPayloadOnly) {
    VirtualDevice dev({"--unplug-after-bytes", "4096", "--pipe-buffer", "1024"});
    LinkLibrary link;
    UniqueHandle pipe = link.openFile("PIPE00");
    EXPECT_FALSE(sendImage(pipe.Get(), makeCommand(6), makePayload(10000, 6)));
    EXPECT_TRUE(dev.WaitFor([](const VirtualDevice::Status& s) { return !s.plugged; }, 3000));
    EXPECT_EQ(dev.GetStatus().payloadBytes, 4096u);
}

TEST(DeviceImage, FailingWritesKeepTheDevicePresent) {
    VirtualDevice dev({"--fail-writes-after", "2048"});
    LinkLibrary link;
    UniqueHandle pipe = link.openFile("PIPE00");
    const std::vector<std::uint8_t> payload = makePayload(3 * CHUNK, 7);
    ASSERT_TRUE(writePipe(pipe.Get(), makeCommand(7).data(), 20).completed);
    EXPECT_TRUE(writePipe(pipe.Get(), payload.data(), CHUNK).completed);
    ASSERT_TRUE(dev.WaitForImages(1, 3000));
    const Transfer t = writePipe(pipe.Get(), payload.data() + CHUNK, CHUNK, 1000);
    EXPECT_FALSE(t.completed);
    EXPECT_NE(t.error, 0u) << "the write should fail, not time out";
    EXPECT_TRUE(devicePresent(link));
    EXPECT_TRUE(dev.GetStatus().plugged);
}

TEST(DeviceImage, StalledDeviceStopsTakingData) {
    VirtualDevice dev({"--stall-after-bytes", "2048", "--pipe-buffer", "1024"});
    LinkLibrary link;
    UniqueHandle pipe = link.openFile("PIPE00");
    const std::vector<std::uint8_t> payload = makePayload(3 * CHUNK, 8);
    ASSERT_TRUE(writePipe(pipe.Get(), makeCommand(8).data(), 20).completed);
    EXPECT_TRUE(writePipe(pipe.Get(), payload.data(), CHUNK).completed);
    const Transfer t = writePipe(pipe.Get(), payload.data() + CHUNK, CHUNK, 500);
    EXPECT_FALSE(t.completed);
    EXPECT_EQ(t.error, 0u) << "the write should time out, not fail";
    EXPECT_TRUE(devicePresent(link));
    EXPECT_EQ(dev.GetStatus().payloadBytes, 2048u);
}
