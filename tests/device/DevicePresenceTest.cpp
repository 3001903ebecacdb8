// Presence, pipe opening and the device path prefix, through our TandryUSB.dll against OstrelSim.exe.
#include "tests/device/LinkTestSupport.h"

#include <gtest/gtest.h>

using namespace devicetest;

TEST(DevicePresence, FollowsPlugAndUnplug) {
    VirtualDevice dev({"--absent"});
    LinkLibrary link;
    ASSERT_TRUE(link.loaded());
    EXPECT_FALSE(devicePresent(link));
    EXPECT_FALSE(link.openFile("PIPE00").IsValid());
    EXPECT_FALSE(link.openFile("PIPE01").IsValid());

    ASSERT_TRUE(dev.Plug());
    EXPECT_TRUE(devicePresent(link));
    EXPECT_TRUE(devicePresent(link)); // every check is a new connection
    EXPECT_TRUE(link.openFile("PIPE00").IsValid());
    EXPECT_TRUE(link.openFile("PIPE01").IsValid());

    ASSERT_TRUE(dev.Unplug());
    EXPECT_FALSE(devicePresent(link));
    EXPECT_FALSE(link.openFile("PIPE00").IsValid());

    ASSERT_TRUE(dev.Plug());
    EXPECT_TRUE(devicePresent(link));
    // The device counts a check just after the caller's open returns.
    dev.WaitFor([](const VirtualDevice::Status& st) { return st.presenceChecks >= 3; }, 3000);
    const VirtualDevice::Status s = dev.GetStatus();
    EXPECT_EQ(s.presenceChecks, 3u);
    EXPECT_TRUE(s.plugged);
    EXPECT_EQ(s.plugs, 2u);
    EXPECT_EQ(s.unplugs, 1u);
}

TEST(DevicePresence, PluggedInAfterADelay) {
    // The delay counts from the device's start, and the device answers its first command only after its
    // start-up: under emulation on a busy machine that alone has taken about 4 s. The delay must leave
    // the first check room to come before the plug.
    VirtualDevice dev({"--plug-after-ms", "10000"});
    LinkLibrary link;
    EXPECT_FALSE(devicePresent(link));
    const ULONGLONG deadline = GetTickCount64() + 60000;
    while (!devicePresent(link) && GetTickCount64() < deadline) {
        Sleep(20);
    }
    EXPECT_TRUE(devicePresent(link));
}

TEST(DevicePresence, OnlyTheTwoPipeNamesOpen) {
    VirtualDevice dev;
    LinkLibrary link;
    EXPECT_FALSE(link.openFile("PIPE02").IsValid());
    EXPECT_FALSE(link.openFile("PRESENT").IsValid());
    EXPECT_FALSE(link.openFile("CONTROL").IsValid());
    EXPECT_FALSE(link.openFile("").IsValid());
    EXPECT_FALSE(link.openFile(nullptr).IsValid());
}

TEST(DevicePresence, HandlesOutliveTheLibrary) {
    VirtualDevice dev;
    LinkLibrary link;
    UniqueHandle pipe = link.openFile("PIPE00");
    ASSERT_TRUE(pipe.IsValid());
    link.release();
    const std::uint8_t request = 0x21;
    EXPECT_TRUE(writePipe(pipe.Get(), &request, 1).completed);
    EXPECT_TRUE(dev.WaitFor([](const VirtualDevice::Status& s) { return s.identityRequests == 1; }, 3000));
}

TEST(DevicePresence, DevicesUnderDifferentPrefixesDoNotSeeEachOther) {
    VirtualDevice first;
    VirtualDevice second({"--absent"});
    ASSERT_NE(first.Prefix(), second.Prefix());
    LinkLibrary link;

    first.PointEnvironmentHere();
    EXPECT_TRUE(devicePresent(link));
    {
        UniqueHandle pipe = link.openFile("PIPE00");
        ASSERT_TRUE(pipe.IsValid());
        const std::uint8_t request = 0x21;
        EXPECT_TRUE(writePipe(pipe.Get(), &request, 1).completed);
    }
    second.PointEnvironmentHere();
    EXPECT_FALSE(devicePresent(link));

    ASSERT_TRUE(second.Plug());
    ASSERT_TRUE(first.Unplug());
    EXPECT_TRUE(devicePresent(link));
    first.PointEnvironmentHere();
    EXPECT_FALSE(devicePresent(link));

    EXPECT_TRUE(first.WaitFor([](const VirtualDevice::Status& s) { return s.identityRequests == 1; }, 3000));
    EXPECT_TRUE(second.WaitFor([](const VirtualDevice::Status& s) { return s.presenceChecks == 1; }, 3000));
    const VirtualDevice::Status other = second.GetStatus();
    EXPECT_EQ(other.identityRequests, 0u);
    EXPECT_EQ(other.pipe00Connections, 0u);
    EXPECT_EQ(other.presenceChecks, 1u);
}

TEST(DevicePresence, UnsetPrefixMeansTheDefaultNamespace) {
    // No device is started under the default namespace here, so nothing must be found there; a device under a
    // test prefix must not answer for it either.
    VirtualDevice dev;
    LinkLibrary link;
    SetEnvironmentVariableA("TANDRY_DEVICE_PREFIX", nullptr);
    UniqueHandle probe(
        CreateFileA("\\\\.\\pipe\\OstrelSim\\PRESENT", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (probe.IsValid()) {
        GTEST_SKIP() << "a device is running under the default namespace on this machine";
    }
    EXPECT_FALSE(devicePresent(link));
    dev.PointEnvironmentHere();
    EXPECT_TRUE(devicePresent(link));
}
