// NimbrelCli --each, the service bench, against one virtual device plugged and unplugged through its control
// channel, device after device: judged by what the device received.
#include "system/UniqueHandle.h"
#include "tests/support/CliProcess.h"
#include "tests/support/HistoryFolder.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualDevice.h"
#include "tests/cli/RunLockHolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

// Generous: the 32-bit lane runs emulated, where a program start alone takes a second.
constexpr DWORD STEP_MS = 60000;
constexpr DWORD INTERRUPTIBLE = CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP;

// Standard output with plain line ends (the program writes CR LF).
std::string Text(const CliProcess& cli) {
    std::string text = cli.Output();
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

std::vector<std::uint8_t> Payload(const std::vector<BYTE>& image) {
    return std::vector<std::uint8_t>(image.begin() + 1024, image.end());
}

// The device that was attached goes, and the next comes, answering with `identity` ('B': an Ostrel). The
// program must have seen the old one gone before the new one comes: a swap faster than its look would be no
// swap at all.
void SwapDevice(VirtualDevice& device, CliProcess& cli, unsigned next, const char* identity) {
    ASSERT_TRUE(device.Unplug());
    ASSERT_TRUE(cli.WaitForOutput("Waiting for device " + std::to_string(next) + "...", STEP_MS))
        << cli.Output();
    ASSERT_EQ(device.Command(std::string("identity ") + identity).rfind("ok", 0), 0u);
    ASSERT_TRUE(device.Plug());
}

TEST(CliEach, ThreeDevicesTheSecondOfAnotherModelEachUpdatedOnceAndNeverTwiceWhileLeftAttached) {
    VirtualDevice device;
    ASSERT_TRUE(device.Running());
    CliProcess cli;
    const std::vector<BYTE> firm = MakeImage(6000);
    const std::vector<BYTE> cdb3 = MakeImage(9000, 0x25, 0x02);
    cli.Folder().Write("firm.zpk", firm);
    cli.Folder().Write("sf_pcmimgcdb3.zpk", cdb3);
    HistoryFolder history(cli.Folder().Path());
    ASSERT_TRUE(cli.Start("--each --count 3"));

    ASSERT_TRUE(cli.WaitForOutput("Remove the device.", STEP_MS)) << cli.Output();
    // Left attached a while: looked at again and again, but neither probed nor sent to again.
    ::Sleep(2000);
    auto status = device.GetStatus();
    EXPECT_EQ(status.identityRequests, 1u);
    EXPECT_EQ(status.imagesStarted, 2u);
    EXPECT_EQ(cli.Output().find("device 2"), std::string::npos) << cli.Output();

    SwapDevice(device, cli, 2, "b");
    ASSERT_TRUE(cli.WaitForOutput("device 2: ", STEP_MS)) << cli.Output();
    SwapDevice(device, cli, 3, "B");
    EXPECT_EQ(cli.Finish(STEP_MS), 9) << cli.Output() << cli.Errors();

    const std::string out = Text(cli);
    for (const char* line :
         {"Images to send to each device: firm.zpk, sf_pcmimgcdb3.zpk\n",
          "device 1: updated, 2 images sent\n", "device 2: not updated: This is Not Ostrel!\n",
          "device 3: updated, 2 images sent\n", "3 devices: 2 updated, 1 not updated\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << out;
    EXPECT_EQ(cli.Errors(), "");

    ASSERT_TRUE(device.WaitForImages(4, STEP_MS));
    status = device.GetStatus();
    EXPECT_EQ(status.identityRequests, 3u);
    EXPECT_EQ(status.imagesStarted, 4u);
    const auto images = device.Images();
    ASSERT_EQ(images.size(), 4u);
    const std::vector<BYTE>* sent[] = {&firm, &cdb3, &firm, &cdb3};
    for (std::size_t i = 0; i < images.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(images[i].complete);
        EXPECT_EQ(images[i].payload, Payload(*sent[i]));
    }

    // One run's lines per device: support can tell each device of the bench by its own lines.
    std::vector<std::string> runs;
    for (const std::string& line : history.Lines())
        if (line.find(" run-start ") != std::string::npos || line.find(" run-end ") != std::string::npos)
            runs.push_back(line.substr(line.find(" run-")));
    ASSERT_EQ(runs.size(), 6u);
    const char* const probes[] = {"probe=ostrel", "probe=not-ostrel", "probe=ostrel"};
    const char* const ends[] = {"outcome=completed", "outcome=wrong-model", "outcome=completed"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NE(runs[2 * i].find(probes[i]), std::string::npos) << runs[2 * i];
        EXPECT_NE(runs[2 * i + 1].find(ends[i]), std::string::npos) << runs[2 * i + 1];
    }
}

TEST(CliEach, WhatWouldFailEveryDeviceEndsItBeforeTheFirstWithItsOwnCode) {
    struct RefusalCase {
        const char* name;
        std::vector<std::pair<const char*, std::vector<BYTE>>> files;
        const char* args;
        long exitCode;
        const char* error;
    };
    const RefusalCase cases[] = {
        {"bad image",
         {{"firm.zpk", MakeImage(3000)}, {"sf_pcmimgcdb1.zpk", MakeImage(3000, 0x24)}},
         "--each",
         4,
         "sf_pcmimgcdb1.zpk is not an image: its first byte is not '%'; no device was touched"},
        {"short image", {{"sf_pcmimgcdb3.zpk", MakeImage(1027)}}, "--each --count 2", 4, "is too short"},
        {"nothing to send",
         {{"firm.zpk", MakeImage(3000, 0x25, 0x00)}},
         "--each",
         1,
         "no image file present"},
        {"count alone", {}, "--count 2", 1, "--count goes with --each"},
        {"wait with each", {}, "--each --wait 5", 1, "leave out --wait"},
        {"zero devices", {}, "--each --count 0", 1, "--count takes a number of devices"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualDevice device;
        CliProcess cli;
        for (const auto& file : c.files)
            cli.Folder().Write(file.first, file.second);
        ASSERT_TRUE(cli.Start(c.args));
        EXPECT_EQ(cli.Finish(STEP_MS), c.exitCode) << cli.Output();
        EXPECT_NE(cli.Errors().find(c.error), std::string::npos) << cli.Errors();
        const auto status = device.GetStatus();
        EXPECT_EQ(status.presenceChecks + status.pipe00Connections + status.pipe01Connections, 0u);
    }
}

TEST(CliEach, WhatWouldFailEveryLaterDeviceEndsTheLoopAfterTheDeviceLine) {
    struct LaterCase {
        const char* name;
        bool changeImage; // the image turns bad after the check at the start
        bool holdLock;    // another update holds the device
        long exitCode;
        const char* said;
    };
    const LaterCase cases[] = {
        {"image changed", true, false, 4, "device 1: not updated: firm.zpk is not an image"},
        {"another update", false, true, 7,
         "device 1: not updated: another update of the device is in progress"},
    };
    for (const LaterCase& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualDevice device({"--absent"});
        CliProcess cli;
        cli.Folder().Write("firm.zpk", MakeImage(3000));
        ASSERT_TRUE(cli.Start("--each"));
        ASSERT_TRUE(cli.WaitForOutput("Waiting for device 1...", STEP_MS)) << cli.Output() << cli.Errors();
        if (c.changeImage)
            cli.Folder().Write("firm.zpk", MakeImage(3000, 0x24));
        std::unique_ptr<RunLockHolder> other;
        if (c.holdLock)
            other = std::make_unique<RunLockHolder>(device);
        ASSERT_TRUE(device.Plug());
        EXPECT_EQ(cli.Finish(STEP_MS), c.exitCode) << cli.Output() << cli.Errors();
        const std::string out = cli.Output();
        EXPECT_NE(out.find(c.said), std::string::npos) << out;
        EXPECT_NE(out.find("every later device would fail the same way"), std::string::npos) << out;
        EXPECT_NE(out.find("1 devices: 0 updated, 1 not updated"), std::string::npos) << out;
        EXPECT_EQ(device.GetStatus().imagesStarted, 0u);
    }
}

TEST(CliEach, CtrlCBetweenDevicesEndsAtOnceAndDuringATransferCancelsIt) {
    struct StopCase {
        const char* name;
        const char* args;
        bool unplugFirst; // stopped while waiting for the next device rather than for the removal
        long exitCode;
    };
    const StopCase cases[] = {
        {"waiting for the removal", "--each", false, 0},
        {"waiting for the next, short of --count", "--each --count 3", true, 9},
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualDevice device;
        CliProcess cli;
        const std::vector<BYTE> firm = MakeImage(5000);
        cli.Folder().Write("firm.zpk", firm);
        ASSERT_TRUE(cli.Start(c.args, CliProcess::DefaultProgram(), INTERRUPTIBLE));
        ASSERT_TRUE(cli.WaitForOutput("Remove the device.", STEP_MS)) << cli.Output();
        if (c.unplugFirst) {
            ASSERT_TRUE(device.Unplug());
            ASSERT_TRUE(cli.WaitForOutput("Waiting for device 2...", STEP_MS)) << cli.Output();
        }
        ASSERT_TRUE(cli.Interrupt()) << "error " << ::GetLastError();
        EXPECT_EQ(cli.Finish(10000), c.exitCode) << cli.Output() << cli.Errors();
        EXPECT_NE(Text(cli).find("Stopped.\n1 devices: 1 updated, 0 not updated\n"), std::string::npos)
            << cli.Output();
        ASSERT_TRUE(device.WaitForImages(1, STEP_MS));
        EXPECT_EQ(device.Images().at(0).payload, Payload(firm));
        EXPECT_EQ(device.GetStatus().imagesStarted, 1u);
    }

    VirtualDevice device({"--rate", "200000"});
    CliProcess cli;
    cli.Folder().Write("firm.zpk", MakeImage(1024 + 2 * 1024 * 1024));
    ASSERT_TRUE(cli.Start("--each", CliProcess::DefaultProgram(), INTERRUPTIBLE));
    ASSERT_TRUE(
        device.WaitFor([](const VirtualDevice::Status& s) { return s.payloadBytes > 100000; }, STEP_MS));
    ASSERT_TRUE(cli.Interrupt()) << "error " << ::GetLastError();
    EXPECT_EQ(cli.Finish(10000), 9) << cli.Output() << cli.Errors();
    const std::string out = cli.Output();
    EXPECT_NE(out.find("device 1: not updated: update interrupted (" + cli.InterruptedBy() +
                       ") during firm.zpk: the device took "),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("1 devices: 0 updated, 1 not updated"), std::string::npos) << out;
    EXPECT_TRUE(device.WaitFor([](const VirtualDevice::Status& s) { return s.openConnections == 0; }, 5000))
        << "the pipe is closed";
    const auto status = device.GetStatus();
    EXPECT_EQ(status.imagesStarted, 1u);
    EXPECT_LT(status.payloadBytes, 2u * 1024 * 1024);
}

} // namespace
