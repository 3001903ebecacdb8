// Edge cases of the real program: the presence timer's periods, the order of what a lost device shows, texts
// edited or missing in lang.ini, the system menu, the tool's path that does not fit, and runs with a skipped
// stage and a 4-byte payload.
#include "tests/app/WindowTestProgram.h"
#include "texts/TextKeys.h"

#include <fstream>
#include <sstream>

using namespace windowtest;
using Icon = WindowDriver::BoxIcon;

namespace {

// Waits until the device has counted `count` presence checks; the time it saw them, or 0 on time-out.
ULONGLONG WhenChecked(VirtualDevice& device, unsigned count, DWORD timeoutMs = TICK_MS) {
    if (!device.WaitFor([&](const VirtualDevice::Status& s) { return s.presenceChecks >= count; }, timeoutMs))
        return 0;
    return ::GetTickCount64();
}

std::string ShippedLangIni() {
    std::ifstream in(WindowDriver::ExeDir() + "lang.ini", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A program folder with the link library and this lang.ini.
std::string ProgramWithLangIni(const std::string& name, const std::string& ini) {
    const std::string program = NewProgramFolder(name, {"TandryUSB.dll"});
    WriteText(program + "\\lang.ini", ini);
    return program;
}

// The first tick that finds no device shows its text, then launches the tool: once the tool has noted its
// start, that tick has looked its text up.
bool WaitFirstAbsentTick(const std::string& folder) {
    for (int i = 0; i < 200 && ToolLaunches(folder).empty(); ++i)
        ::Sleep(50);
    return ToolLaunches(folder).size() == 1;
}

void ReplaceLine(std::string& ini, const std::string& start, const std::string& by) {
    const std::size_t at = ini.find(start);
    ASSERT_NE(at, std::string::npos) << start;
    ini.replace(at, ini.find('\n', at) - at, by);
}

} // namespace

TEST(EdgeCase, TheFirstTickComesSoonAfterStartAndLinkedTicksComeOnceASecond) {
    VirtualDevice device;
    // The first period is read from the timers the window sets. Timed from outside, the first look also
    // carries one-time costs (the link library's first load), and an emulated machine makes those about as
    // long as a period.
    const std::string program = RecordedProgram("first-tick");
    const std::string folder = NewImageFolder("first-tick");
    WindowDriver app;
    ASSERT_TRUE(StartProgram(app, folder, program + "\\Nimbrel.exe"));
    ASSERT_TRUE(WaitLinked(app));
    const unsigned seen = device.GetStatus().presenceChecks;
    const ULONGLONG first = WhenChecked(device, seen + 1);
    const ULONGLONG second = WhenChecked(device, seen + 2);
    ASSERT_TRUE(first && second);
    const auto timers = ReadLines(program + "\\timers.txt");
    ASSERT_GE(timers.size(), 2u);
    EXPECT_EQ(timers[0], "timer 1 100");
    EXPECT_EQ(timers[1], "timer 1 1000") << "linked at the first look";
    // Linked, the looks come a second apart; a machine that is slow can only make them later.
    EXPECT_GE(second - first, 900u);
}

TEST(EdgeCase, AfterAPlugInThePeriodBecomesOneSecond) {
    VirtualDevice device({"--absent"});
    const std::string folder = NewImageFolder("plug-period");
    WindowDriver app;
    ASSERT_TRUE(StartProgram(app, folder));
    ASSERT_TRUE(WaitFirstAbsentTick(folder));
    device.Plug();
    ASSERT_TRUE(app.WaitForItemText(IDC_LINK_STATUS, LangText(TEXT_SECTION_MESSAGE, TEXT_LINKED), TICK_MS));
    // Three intervals between looks: at 1000 ms each they take at least 3 s; still at 800 ms, 2.4 s. Load
    // only lengthens them, so the lower bound cannot fail on a slow machine.
    const unsigned seen = device.GetStatus().presenceChecks;
    const ULONGLONG from = WhenChecked(device, seen + 1);
    const ULONGLONG to = WhenChecked(device, seen + 4, 3 * TICK_MS);
    ASSERT_TRUE(from && to);
    EXPECT_GE(to - from, 2850u);
}

TEST(EdgeCase, ADeviceGoneDuringATransferShowsNotConnectedBeforeTheFailBox) {
    VirtualDevice device({"--rate", "40000"});
    const std::string folder = NewImageFolder("unplug-text");
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, MakeImage(200000, 1)));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(
        device.WaitFor([](const VirtualDevice::Status& s) { return s.payloadBytes >= 4096; }, RUN_MS));
    device.Unplug();
    ASSERT_TRUE(app.WaitForMessageBox(RUN_MS));
    // The box is still open: the status the user reads behind it already says why.
    EXPECT_EQ(app.ItemText(IDC_LINK_STATUS), LangText(TEXT_SECTION_MESSAGE, TEXT_NOT_LINKED));
    ASSERT_TRUE(AnswerStopBoxAndExit(app, "USB Download Fail !!! Try Again !"));
}

TEST(EdgeCase, ALangIniEntryEditedWhileTheProgramRunsShowsAtItsNextLookup) {
    VirtualDevice device({"--absent"});
    std::string ini = ShippedLangIni();
    const std::string program = ProgramWithLangIni("edited-ini", ini);
    const std::string folder = NewImageFolder("edited-ini");
    WindowDriver app;
    ASSERT_TRUE(StartProgram(app, folder, program + "\\Nimbrel.exe"));
    ASSERT_TRUE(WaitFirstAbsentTick(folder));
    ASSERT_EQ(app.ItemText(IDC_LINK_STATUS), LangText(TEXT_SECTION_MESSAGE, TEXT_NOT_LINKED));

    ReplaceLine(ini, "1025=", "1025=Plug the Ostrel in, please.");
    ASSERT_TRUE(WriteText(program + "\\lang.ini", ini));
    // Every absent tick looks the text up anew.
    EXPECT_TRUE(app.WaitForItemText(IDC_LINK_STATUS, "Plug the Ostrel in, please.", TICK_MS))
        << "still \"" << app.ItemText(IDC_LINK_STATUS) << "\"";
}

TEST(EdgeCase, Text1030MissingFromLangIniGivesAnEmptyResultText) {
    VirtualDevice device;
    std::string ini = ShippedLangIni();
    ReplaceLine(ini, "1030=", "; 1030 left out");
    const std::string program = ProgramWithLangIni("no-1030", ini);
    const std::string folder = NewImageFolder("no-1030");
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, MakeImage(3000, 1)));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder, program + "\\Nimbrel.exe"));
    // The sender sets the result text before it closes the pipe, which completes the image.
    ASSERT_TRUE(device.WaitForImages(1, SEND_MS));
    ASSERT_TRUE(app.WaitUntilResponsive(RUN_MS));
    EXPECT_EQ(app.ItemText(IDC_STAGE_TEXT), LangText(TEXT_SECTION_MESSAGE, TEXT_STAGE_FIRM));
    EXPECT_EQ(app.ItemText(IDC_RESULT_TEXT), "");
    EXPECT_EQ(device.GetStatus().imagesCompleted, 1u);
}

TEST(EdgeCase, TheRealSystemMenuEndsWithASeparatorAndAbout) {
    VirtualDevice device;
    // The link library beside this copy writes the program's system menu at every tick.
    const std::string program = NewProgramFolder("system-menu", {"lang.ini"});
    ASSERT_TRUE(CopyBeside("FaultyTandryUSB.dll", program + "\\TandryUSB.dll"));
    ASSERT_TRUE(CopyBeside("TandryUSB.dll", program + "\\TandryUSBReal.dll"));
    const std::string folder = NewImageFolder("system-menu");
    WindowDriver app;
    ASSERT_TRUE(StartProgram(app, folder, program + "\\Nimbrel.exe"));
    ASSERT_TRUE(WaitLinked(app));

    const auto items = ReadLines(program + "\\system-menu.txt");
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ(items[items.size() - 2], "separator");
    EXPECT_EQ(items.back(), std::to_string(IDM_ABOUTBOX) + " &About ...");
}

TEST(EdgeCase, AToolPathThatDoesNotFitLaunchesNothing) {
    VirtualDevice device({"--absent"});
    // The recorder stands beside the program as well: a launch by any other path shows there.
    const std::string program = NewProgramFolder("long-tool", {"TandryUSB.dll", "lang.ini"});
    ASSERT_TRUE(CopyBeside("PlenwickRecorder.exe", program + "\\Plenwick.exe"));
    // 247 characters: the tool's path would be 260, one more than fits.
    const std::string folder = NewImageFolder("long-tool", 247);
    ASSERT_EQ(folder.size(), 247u);
    WindowDriver app;
    ASSERT_TRUE(StartProgram(app, folder, program + "\\Nimbrel.exe"));
    // The first tick finds no device and would launch the tool; give it and the next ticks ample time.
    ::Sleep(3000);
    EXPECT_EQ(ToolLaunches(folder), std::vector<std::string>{});
    EXPECT_EQ(ReadLines(program + "\\plenwick-launches.txt"), std::vector<std::string>{});
    EXPECT_EQ(app.ItemText(IDC_LINK_STATUS), LangText(TEXT_SECTION_MESSAGE, TEXT_NOT_LINKED));
    device.Plug();
    EXPECT_TRUE(app.WaitForItemText(IDC_LINK_STATUS, LangText(TEXT_SECTION_MESSAGE, TEXT_LINKED), TICK_MS));
    EXPECT_TRUE(app.MessageBoxes().empty());
}

TEST(EdgeCase, SendFlagZeroInStageTwoThenStageThreeSendsItsFourBytePayload) {
    VirtualDevice device;
    const std::string folder = NewImageFolder("flag-zero-then-four");
    const Bytes firm = MakeImage(3000, 1), cdb1 = MakeImage(1028, 3);
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, firm));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB2, MakeImage(3000, 2, 0)));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB1, cdb1));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(device.WaitForImages(2, SEND_MS));
    ASSERT_TRUE(
        app.WaitForItemText(IDC_RESULT_TEXT, LangText(TEXT_SECTION_MESSAGE, TEXT_IMAGE_SENT), SEND_MS));
    ASSERT_TRUE(app.WaitUntilResponsive(RUN_MS));

    const auto images = device.Images();
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].payload, Payload(firm));
    // Stage 3 after the skipped stage 2: the command, then one write of the 4 payload bytes.
    EXPECT_EQ(images[1].command, Command(cdb1));
    EXPECT_EQ(images[1].payload, Payload(cdb1));
    EXPECT_EQ(images[1].writeSizes, (std::vector<std::uint32_t>{20, 4}));
    EXPECT_EQ(app.ItemText(IDC_STAGE_TEXT), LangText(TEXT_SECTION_MESSAGE, TEXT_STAGE_CDB1));
    // A step of 1: the 4-byte payload leaves the bar at position 4.
    EXPECT_EQ(BarPosition(app), 4);
    EXPECT_TRUE(app.MessageBoxes().empty());
}
