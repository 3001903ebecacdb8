// The presence monitor as seen from outside: link status, the companion tool, the lost device.
#include "tests/app/WindowTestProgram.h"
#include "texts/TextKeys.h"

using namespace windowtest;
using Icon = WindowDriver::BoxIcon;

TEST(Presence, DeviceAbsentAtStartLaunchesTheToolOnceThenAPlugIsSeenWithinATick) {
    VirtualDevice device({"--absent"});
    const std::string folder = NewImageFolder("absent");
    WindowDriver app;
    ASSERT_TRUE(StartProgram(app, folder));
    EXPECT_EQ(app.ItemText(IDC_LINK_STATUS), LangText(TEXT_SECTION_MESSAGE, TEXT_NOT_LINKED));
    // The first tick launches the tool from the current directory; the ticks after it do not.
    for (int i = 0; i < 100 && ToolLaunches(folder).empty(); ++i)
        ::Sleep(50);
    ::Sleep(2000);
    EXPECT_EQ(ToolLaunches(folder), std::vector<std::string>{folder + "\\Plenwick.exe"});

    device.Plug();
    const ULONGLONG plugged = ::GetTickCount64();
    ASSERT_TRUE(app.WaitForItemText(IDC_LINK_STATUS, LangText(TEXT_SECTION_MESSAGE, TEXT_LINKED), TICK_MS));
    // Absent, the monitor looks every 800 ms; three periods leave room for a loaded or emulated machine.
    EXPECT_LT(::GetTickCount64() - plugged, 2400u);

    ASSERT_TRUE(UnplugIsNoFailure(app, device));
    ::Sleep(1000);
    EXPECT_EQ(ToolLaunches(folder).size(), 1u);
}

TEST(Presence, DeviceUnpluggedDuringATransferEndsWithDownloadFailAndStatusZero) {
    // A slow device, so that the transfer is still running when the cable is pulled.
    VirtualDevice device({"--rate", "40000"});
    const std::string folder = NewImageFolder("unplug-transfer");
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, MakeImage(200000, 1)));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB3, MakeImage(3000, 4)));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(
        device.WaitFor([](const VirtualDevice::Status& s) { return s.payloadBytes >= 4096; }, RUN_MS));
    device.Unplug();
    ASSERT_TRUE(AnswerStopBoxAndExit(app, "USB Download Fail !!! Try Again !"));
    EXPECT_EQ(device.GetStatus().imagesStarted, 1u);
    EXPECT_EQ(device.GetStatus().imagesCompleted, 0u);
    EXPECT_TRUE(ToolLaunches(folder).empty());
}

TEST(Presence, ALibraryPlantedInTheImageFolderIsNeverLoadedAndItsBoxDoesNotStack) {
    VirtualDevice device;
    // The program's folder has no TandryUSB.dll, the folder of images has a planted one.
    const std::string program = NewProgramFolder("planted", {"lang.ini"});
    const std::string folder = NewImageFolder("planted");
    ASSERT_TRUE(CopyBeside("PlantedTandryUSB.dll", folder + "\\TandryUSB.dll"));
    WindowDriver app;
    ASSERT_TRUE(StartProgram(app, folder, program + "\\Nimbrel.exe"));

    const auto box = app.WaitForMessageBox(TICK_MS);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "TandryUSB.dll unloaded");
    EXPECT_EQ(box->caption, "Nimbrel");
    // Many 100 ms ticks go by while the box is open; none of them opens another.
    ::Sleep(1500);
    EXPECT_EQ(app.MessageBoxes().size(), 1u);
    EXPECT_EQ(app.GetBoxIcon(box->hwnd), Icon::Exclamation);
    EXPECT_FALSE(FileExists(folder + "\\planted-library-loaded.txt"));
    // The tick changed nothing.
    EXPECT_EQ(app.ItemText(IDC_LINK_STATUS), LangText(TEXT_SECTION_MESSAGE, TEXT_NOT_LINKED));
    EXPECT_TRUE(ToolLaunches(folder).empty());
}
