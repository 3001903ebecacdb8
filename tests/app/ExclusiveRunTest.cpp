// One update at a time on a PC: while a copy of either program runs an update, another copy of either program
// can neither probe the device nor send to it, and can once the run has ended. Judged by what the virtual
// device counted and received, not by what the programs show.
#include "tests/app/WindowTestProgram.h"
#include "tests/support/CliProcess.h"

#include "system/UniqueHandle.h"
#include "texts/TextKeys.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>

using namespace windowtest;
using Icon = WindowDriver::BoxIcon;

namespace {

// A slow device and a big image: the first run takes about ten seconds, long enough for the other copy to be
// started and turned away meanwhile, even under emulation.
const std::vector<std::string> SLOW_DEVICE = {"--rate", "100000"};
constexpr std::size_t BIG_IMAGE = 1024 + 1024 * 1024;

// What an update opens and sends: connections to both data pipes, identity requests and images.
std::array<unsigned, 4> UpdateTraffic(VirtualDevice& device) {
    const auto s = device.GetStatus();
    return {s.pipe00Connections, s.pipe01Connections, s.identityRequests, s.imagesStarted};
}

bool PayloadInFlight(const VirtualDevice::Status& s) {
    return s.payloadBytes >= 4096;
}

std::string DirArgument(const std::string& folder) {
    return "--dir \"" + folder + "\"";
}

struct Copies {
    const char* name;
    bool holderIsWindow; // the copy whose run is in flight
    bool otherIsWindow;  // the copy that tries to update meanwhile, and again afterwards
};

void PrintTo(const Copies& copies, std::ostream* out) {
    *out << copies.name;
}

const char* ProgramName(bool window) {
    return window ? "Nimbrel.exe" : "NimbrelCli.exe";
}

class ExclusiveRun : public ::testing::TestWithParam<Copies> {};

TEST_P(ExclusiveRun, TheOtherCopyIsTurnedAwayUntilTheRunEnds) {
    const Copies copies = GetParam();
    VirtualDevice device(SLOW_DEVICE);
    HistoryFolder history(NewFolder("history-exclusive"));
    const Bytes big = MakeImage(BIG_IMAGE, 1), firm = MakeImage(7000, 2), cdb3 = MakeImage(5000, 3);
    const std::string holderImages = NewImageFolder("exclusive-holder");
    const std::string otherImages = NewImageFolder("exclusive-other");
    ASSERT_TRUE(WriteFile(holderImages + "\\" + FIRM, big));
    ASSERT_TRUE(WriteFile(otherImages + "\\" + FIRM, firm));
    ASSERT_TRUE(WriteFile(otherImages + "\\" + CDB3, cdb3));
    WindowDriver holderWindow, otherWindow;
    CliProcess holderCli, otherCli;
    // The other window sees the device before the run starts, so that its press comes early in the run.
    if (copies.otherIsWindow) {
        ASSERT_TRUE(StartProgram(otherWindow, otherImages));
        ASSERT_TRUE(WaitLinked(otherWindow));
    }
    if (copies.holderIsWindow)
        ASSERT_TRUE(StartAndPressUpdateFile(holderWindow, holderImages));
    else
        ASSERT_TRUE(holderCli.Start(DirArgument(holderImages)));
    ASSERT_TRUE(device.WaitFor(PayloadInFlight, RUN_MS));
    const auto before = UpdateTraffic(device);

    if (copies.otherIsWindow) {
        otherWindow.Click(IDC_UPDATE_FILE);
        ASSERT_TRUE(
            AnswerBox(otherWindow, LangText(TEXT_SECTION_MESSAGE, TEXT_ANOTHER_RUN), Icon::Exclamation));
        ASSERT_TRUE(otherWindow.WaitUntilResponsive(RUN_MS));
    } else {
        ASSERT_TRUE(otherCli.Start(DirArgument(otherImages)));
        EXPECT_EQ(otherCli.Finish(RUN_MS), 7) << otherCli.Output() << otherCli.Errors();
        EXPECT_NE(otherCli.Errors().find("another update of the device is in progress"), std::string::npos)
            << otherCli.Errors();
    }
    EXPECT_EQ(UpdateTraffic(device), before) << "the other copy reached the device";
    ASSERT_EQ(device.GetStatus().imagesCompleted, 0u) << "the run had ended before the other copy tried";

    // The run goes on to its end, and then the other copy's update goes through.
    if (copies.holderIsWindow) {
        ASSERT_TRUE(WaitSent(holderWindow, device, 1));
    } else {
        EXPECT_EQ(holderCli.Finish(RUN_MS), 0) << holderCli.Errors();
        ASSERT_TRUE(device.WaitForImages(1, SEND_MS));
    }
    if (copies.otherIsWindow) {
        otherWindow.Click(IDC_UPDATE_FILE);
        ASSERT_TRUE(WaitSent(otherWindow, device, 3));
    } else {
        ASSERT_TRUE(otherCli.Start(DirArgument(otherImages)));
        EXPECT_EQ(otherCli.Finish(RUN_MS), 0) << otherCli.Errors();
        ASSERT_TRUE(device.WaitForImages(3, SEND_MS));
    }
    const auto images = device.Images();
    ASSERT_EQ(images.size(), 3u);
    ExpectReceived(images[0], big, "the first run's");
    ExpectReceived(images[1], firm, FIRM);
    ExpectReceived(images[2], cdb3, CDB3);
    EXPECT_EQ(device.GetStatus().identityRequests, 2u);
    // Two runs of six lines each: the refused one wrote none.
    const auto lines = history.Lines();
    ASSERT_EQ(lines.size(), 12u) << (lines.empty() ? "" : lines.back());
    for (const auto& [line, window] :
         {std::make_pair(lines[0], copies.holderIsWindow), std::make_pair(lines[6], copies.otherIsWindow)})
        EXPECT_NE(line.find(std::string(" run-start program=") + ProgramName(window) + " "),
                  std::string::npos)
            << line;
}

INSTANTIATE_TEST_SUITE_P(Programs, ExclusiveRun,
                         ::testing::Values(Copies{"WindowDuringWindow", true, true},
                                           Copies{"ConsoleDuringWindow", true, false},
                                           Copies{"WindowDuringConsole", false, true}),
                         [](const ::testing::TestParamInfo<Copies>& info) { return info.param.name; });

TEST(ExclusiveRun, ALockWhoseHolderWasKilledIsFreeAndTheNextRunSaysSo) {
    VirtualDevice device(SLOW_DEVICE);
    HistoryFolder history(NewFolder("history-abandoned"));
    const std::string killedImages = NewFolder("abandoned-console");
    ASSERT_TRUE(WriteFile(killedImages + "\\" + FIRM, MakeImage(BIG_IMAGE, 1)));
    CliProcess killed;
    ASSERT_TRUE(killed.Start(DirArgument(killedImages)));
    ASSERT_TRUE(device.WaitFor(PayloadInFlight, RUN_MS));
    // A named mutex goes with its last handle: held here, it outlives its killed owner as abandoned, as it
    // does when a window that has made a run holds it.
    UniqueHandle lock(::OpenMutexA(SYNCHRONIZE, FALSE, device.RunLockName().c_str()));
    ASSERT_TRUE(lock.IsValid()) << "the console's run holds no " << device.RunLockName();
    killed.Kill();
    ASSERT_TRUE(
        device.WaitFor([](const VirtualDevice::Status& s) { return s.openConnections == 0; }, RUN_MS));

    const std::string folder = NewImageFolder("abandoned");
    const Bytes firm = MakeImage(7000, 2);
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, firm));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(WaitSent(app, device, 2));
    const auto images = device.Images();
    ASSERT_EQ(images.size(), 2u);
    ExpectReceived(images[1], firm, FIRM);
    // The killed run may have left its start line; the window's lines follow it.
    const auto lines = history.Lines();
    const auto own = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find(" run-start program=Nimbrel.exe ") != std::string::npos;
    });
    ExpectHistory({own, lines.end()},
                  {RUN_START + "ostrel lock=abandoned",
                   "stage file=firm\\.zpk size=7000" + SHA + " verified=none outcome=sent",
                   "stage file=sf_pcmimgcdb2\\.zpk verified=none outcome=absent",
                   "stage file=sf_pcmimgcdb1\\.zpk verified=none outcome=absent",
                   "stage file=sf_pcmimgcdb3\\.zpk verified=none outcome=absent",
                   "run-end outcome=completed duration-ms=\\d+"});
}

// Support reports made one after another from the folder of a window's update, at a limited device speed,
// while the first image is on its way: each reads every image of the folder, the one in flight and those the
// run has yet to judge and load, and leaves the lock and the device to the run, which goes through whole. The
// reports end before the run's next stage: the moment a stage reads its leading block, which it reads without
// sharing, is not what this test is about.
TEST(ExclusiveRun, SupportReportsMadeDuringAnUpdateLeaveItWhole) {
    VirtualDevice device(SLOW_DEVICE);
    HistoryFolder history(NewFolder("history-reports"));
    const std::string folder = NewImageFolder("reports-during-update");
    const std::string reports = NewFolder("reports-made");
    const char* const files[] = {FIRM, CDB2, CDB1, CDB3};
    const std::vector<Bytes> sent = {MakeImage(BIG_IMAGE, 1), MakeImage(7000, 2), MakeImage(6000, 3),
                                     MakeImage(5000, 4)};
    for (std::size_t i = 0; i < 4; ++i)
        ASSERT_TRUE(WriteFile(folder + "\\" + files[i], sent[i]));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(device.WaitFor(PayloadInFlight, RUN_MS));
    // About five seconds of the first image's transfer are left when the last report begins.
    unsigned made = 0;
    for (; device.GetStatus().payloadBytes < (BIG_IMAGE - 1024) / 2; ++made) {
        CliProcess report;
        const std::string path = reports + "\\report-" + std::to_string(made) + ".txt";
        ASSERT_TRUE(report.Start("--report \"" + path + "\" " + DirArgument(folder)));
        ASSERT_EQ(report.Finish(RUN_MS), 0) << report.Errors();
        std::ifstream in(path, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (const char* said :
             {"  update lock:          HELD by another update",
              "  1 firm.zpk:           to-send, 1049600 bytes", "  4 sf_pcmimgcdb3.zpk:  to-send, 5000 bytes",
              "no identity probe (another update holds the device)"})
            EXPECT_NE(text.find(said), std::string::npos) << said << "\n" << text;
    }
    EXPECT_GE(made, 1u);
    ASSERT_TRUE(WaitSent(app, device, 4));
    const auto images = device.Images();
    ASSERT_EQ(images.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        ExpectReceived(images[i], sent[i], files[i]);
    EXPECT_EQ(device.GetStatus().identityRequests, 1u) << "the reports left the device to the run";
    const auto lines = history.Lines();
    ASSERT_EQ(lines.size(), 6u) << (lines.empty() ? "" : lines.back());
    for (std::size_t i = 1; i <= 4; ++i)
        EXPECT_NE(lines[i].find(" outcome=sent"), std::string::npos) << lines[i];
    EXPECT_TRUE(HistoryLineMatches(lines.back(), "run-end outcome=completed duration-ms=\\d+"))
        << lines.back();
}

} // namespace
