// The update run as a user meets it: the real program, the virtual device, images in the current directory.
#include "tests/app/WindowTestProgram.h"
#include "texts/TextKeys.h"

using namespace windowtest;
using Icon = WindowDriver::BoxIcon;

TEST(UpdateRun, WithNoImageFilesSendsNothingAndLeavesTheButtonEnabled) {
    VirtualDevice device;
    const std::string folder = NewImageFolder("no-images");
    WindowDriver app;
    ASSERT_TRUE(StartProgram(app, folder));
    ASSERT_TRUE(WaitLinked(app));
    ASSERT_TRUE(RunWithoutTransfer(app, device));

    EXPECT_TRUE(app.MessageBoxes().empty());
    EXPECT_EQ(app.ItemText(IDC_STAGE_TEXT), "");
    EXPECT_EQ(app.ItemText(IDC_RESULT_TEXT), "");
    EXPECT_TRUE(app.ItemEnabled(IDC_UPDATE_FILE));
    EXPECT_EQ(device.GetStatus().imagesStarted, 0u);
    // The run is over: losing the device now is an ordinary unplug, and the tool is not launched for it.
    ASSERT_TRUE(UnplugIsNoFailure(app, device));
    EXPECT_TRUE(ToolLaunches(folder).empty());
    // Without the device a new press is refused.
    app.Click(IDC_UPDATE_FILE);
    EXPECT_TRUE(AnswerBox(app, LangText(TEXT_SECTION_MESSAGE, TEXT_NO_DEVICE), Icon::Exclamation));
}

TEST(UpdateRun, OnlyStageFourImageIsSentAndTheRunEnds) {
    VirtualDevice device;
    const std::string folder = NewImageFolder("only-cdb3");
    const Bytes cdb3 = MakeImage(5000, 4);
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB3, cdb3));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(WaitSent(app, device, 1));

    const auto images = device.Images();
    ASSERT_EQ(images.size(), 1u);
    ExpectReceived(images[0], cdb3, CDB3);
    EXPECT_EQ(app.ItemText(IDC_STAGE_TEXT), LangText(TEXT_SECTION_MESSAGE, TEXT_STAGE_CDB3));
    EXPECT_FALSE(app.ItemEnabled(IDC_UPDATE_FILE));
    EXPECT_TRUE(app.MessageBoxes().empty());
    ASSERT_TRUE(UnplugIsNoFailure(app, device));
}

TEST(UpdateRun, AllFourImagesReachTheDeviceInStageOrderByteForByte) {
    VirtualDevice device;
    const std::string folder = NewImageFolder("all-four");
    const Bytes firm = MakeImage(7000, 1), cdb1 = MakeImage(1028, 2), cdb2 = MakeImage(2048 + 1024 + 1, 3),
                cdb3 = MakeImage(4096 + 1024, 4, 0x80);
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, firm));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB1, cdb1));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB2, cdb2));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB3, cdb3));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(WaitSent(app, device, 4));

    const auto images = device.Images();
    ASSERT_EQ(images.size(), 4u);
    ExpectReceived(images[0], firm, FIRM);
    ExpectReceived(images[1], cdb2, CDB2);
    ExpectReceived(images[2], cdb1, CDB1);
    ExpectReceived(images[3], cdb3, CDB3);
    EXPECT_EQ(device.GetStatus().identityRequests, 1u);
    EXPECT_EQ(app.ItemText(IDC_STAGE_TEXT), LangText(TEXT_SECTION_MESSAGE, TEXT_STAGE_CDB3));
    // After a run that sent an image the button stays disabled: no second run in this program's life.
    EXPECT_FALSE(app.ItemEnabled(IDC_UPDATE_FILE));
    ASSERT_TRUE(UnplugIsNoFailure(app, device));
}

TEST(UpdateRun, ShortFirmwareStopsTheRunWith1023ASecondPressProbesAgainAndANewDeviceAnswersForItself) {
    VirtualDevice device;
    const std::string folder = NewImageFolder("short-firm");
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, MakeImage(1027, 1)));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB2, MakeImage(3000, 2)));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB3, MakeImage(3000, 3)));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(AnswerBox(app, LangText(TEXT_SECTION_MESSAGE, TEXT_TOO_SHORT), Icon::Exclamation));
    ASSERT_TRUE(app.WaitUntilResponsive(RUN_MS));
    EXPECT_EQ(device.GetStatus().imagesStarted, 0u);
    EXPECT_TRUE(app.ItemEnabled(IDC_UPDATE_FILE));

    ASSERT_TRUE(RunWithoutTransfer(app, device, 2));
    ASSERT_TRUE(AnswerBox(app, LangText(TEXT_SECTION_MESSAGE, TEXT_TOO_SHORT), Icon::Exclamation));
    ASSERT_TRUE(app.WaitUntilResponsive(RUN_MS));
    EXPECT_EQ(device.GetStatus().imagesStarted, 0u);
    // The run has ended with its box: a lost device is no failed download.
    ASSERT_TRUE(UnplugIsNoFailure(app, device));

    // Another model is plugged in and the folder mended: the Ostrel's verdict went with the Ostrel.
    ASSERT_EQ(device.Command("identity b"), "ok identity 98");
    ASSERT_TRUE(device.Plug());
    ASSERT_TRUE(WaitLinked(app));
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, MakeImage(3000, 1)));
    app.Click(IDC_UPDATE_FILE);
    ASSERT_TRUE(AnswerStopBoxAndExit(app, "This is Not Ostrel!"));
    EXPECT_EQ(device.GetStatus().imagesStarted, 0u);
    EXPECT_EQ(device.GetStatus().identityRequests, 3u);
}

TEST(UpdateRun, BadMarkInStageThreeStopsWith1022AfterTwoImages) {
    VirtualDevice device;
    const std::string folder = NewImageFolder("bad-mark");
    const Bytes firm = MakeImage(3000, 1), cdb2 = MakeImage(3000, 2);
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, firm));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB2, cdb2));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB1, MakeImage(3000, 3, 1, 0x24)));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB3, MakeImage(3000, 4)));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(AnswerBox(app, LangText(TEXT_SECTION_MESSAGE, TEXT_BAD_MARK), Icon::Exclamation));
    ASSERT_TRUE(app.WaitUntilResponsive(RUN_MS));
    // The program may have written the second image into the pipe before the device has read it.
    ASSERT_TRUE(device.WaitForImages(2, SEND_MS));

    const auto images = device.Images();
    ASSERT_EQ(images.size(), 2u);
    ExpectReceived(images[0], firm, FIRM);
    ExpectReceived(images[1], cdb2, CDB2);
    EXPECT_EQ(device.GetStatus().imagesStarted, 2u);
}

TEST(UpdateRun, SendFlagZeroInStageTwoShowsItsTextAndSendsNothingForIt) {
    VirtualDevice device;
    const std::string folder = NewImageFolder("flag-zero");
    const Bytes firm = MakeImage(3000, 1);
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, firm));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB2, MakeImage(3000, 2, 0)));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(device.WaitForImages(1, SEND_MS));
    ASSERT_TRUE(
        app.WaitForItemText(IDC_STAGE_TEXT, LangText(TEXT_SECTION_MESSAGE, TEXT_STAGE_CDB2), SEND_MS));
    ASSERT_TRUE(app.WaitUntilResponsive(RUN_MS));

    // Stage 2 reset the bar and cleared stage 1's result text.
    EXPECT_EQ(BarPosition(app), 0);
    EXPECT_EQ(app.ItemText(IDC_RESULT_TEXT), "");
    const auto images = device.Images();
    ASSERT_EQ(images.size(), 1u);
    ExpectReceived(images[0], firm, FIRM);
    ASSERT_TRUE(UnplugIsNoFailure(app, device));
}

TEST(UpdateRun, AClickQueuedDuringARunDoesNotStartASecondRunInsideIt) {
    VirtualDevice device;
    const std::string folder = NewImageFolder("no-nesting");
    const Bytes firm = MakeImage(20000, 1), cdb3 = MakeImage(20000, 4);
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, firm));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB3, cdb3));
    WindowDriver app;
    ASSERT_TRUE(StartProgram(app, folder));
    ASSERT_TRUE(WaitLinked(app));
    // Both clicks are queued before the window handles either; the second comes out inside the first wait.
    app.Click(IDC_UPDATE_FILE);
    app.Click(IDC_UPDATE_FILE);
    ASSERT_TRUE(WaitSent(app, device, 2));
    ::Sleep(300);

    EXPECT_EQ(device.GetStatus().identityRequests, 1u);
    EXPECT_EQ(device.GetStatus().imagesStarted, 2u);
    const auto images = device.Images();
    ASSERT_EQ(images.size(), 2u);
    ExpectReceived(images[0], firm, FIRM);
    ExpectReceived(images[1], cdb3, CDB3);
    EXPECT_TRUE(app.MessageBoxes().empty());
}

TEST(UpdateRun, AStagePipeThatCannotBeOpenedStopsTheRunWith1021) {
    VirtualDevice device;
    // The library beside the program fails the second open of PIPE00: the first stage's, after the probe's.
    const std::string program = NewProgramFolder("stage-pipe", {"lang.ini"});
    ASSERT_TRUE(CopyBeside("FaultyTandryUSB.dll", program + "\\TandryUSB.dll"));
    ASSERT_TRUE(CopyBeside("TandryUSB.dll", program + "\\TandryUSBReal.dll"));
    ASSERT_TRUE(WriteText(program + "\\pipe00-fail-at.txt", "2\n"));
    const std::string folder = NewImageFolder("stage-pipe");
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, MakeImage(3000, 1)));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB3, MakeImage(3000, 4)));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder, program + "\\Nimbrel.exe"));
    ASSERT_TRUE(AnswerBox(app, LangText(TEXT_SECTION_MESSAGE, TEXT_NO_DEVICE), Icon::Exclamation));
    ASSERT_TRUE(app.WaitUntilResponsive(RUN_MS));

    EXPECT_EQ(ReadLines(program + "\\pipe00-opens.txt"), std::vector<std::string>{"2"});
    EXPECT_EQ(device.GetStatus().imagesStarted, 0u);
    EXPECT_TRUE(app.ItemEnabled(IDC_UPDATE_FILE));
    ASSERT_TRUE(UnplugIsNoFailure(app, device));
}

TEST(UpdateRun, ImagesWhosePathDoesNotFitAreTreatedAsAbsent) {
    VirtualDevice device;
    // 245 characters: "\firm.zpk" still fits in 259, "\sf_pcmimgcdb?.zpk" no longer does.
    const std::string folder = NewImageFolder("long-dir", 245);
    ASSERT_EQ(folder.size(), 245u);
    const Bytes firm = MakeImage(3000, 1);
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, firm));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB2, MakeImage(3000, 2)));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB3, MakeImage(3000, 4)));
    // Cut to fit, the paths would name these files: valid images that must not be sent.
    ASSERT_TRUE(WriteFile(folder + "\\sf_pcmimgcdb2", MakeImage(3000, 5)));
    ASSERT_TRUE(WriteFile(folder + "\\sf_pcmimgcdb3", MakeImage(3000, 6)));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(WaitSent(app, device, 1));
    ::Sleep(300);

    const auto images = device.Images();
    ASSERT_EQ(images.size(), 1u);
    ExpectReceived(images[0], firm, FIRM);
    EXPECT_EQ(app.ItemText(IDC_STAGE_TEXT), LangText(TEXT_SECTION_MESSAGE, TEXT_STAGE_FIRM));
    EXPECT_TRUE(app.MessageBoxes().empty());
    ASSERT_TRUE(UnplugIsNoFailure(app, device));
}

TEST(UpdateRun, AnotherModelEndsTheProgramWithNotOstrel) {
    VirtualDevice device({"--identity-byte", "b"});
    const std::string folder = NewImageFolder("wrong-model");
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, MakeImage(3000, 1)));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(AnswerStopBoxAndExit(app, "This is Not Ostrel!"));
    EXPECT_EQ(device.GetStatus().imagesStarted, 0u);
}

TEST(UpdateRun, ATransferTheDeviceBreaksOffEndsWithDownloadFailAndStatusZero) {
    // The device stays attached but breaks the first image's connection part-way. Its small pipe buffer makes
    // the program's writes wait for the device's reads: with the default one, the whole image could be in the
    // buffer, every write taken, before the device read far enough to break off.
    VirtualDevice device({"--fail-writes-after", "8192", "--pipe-buffer", "1024"});
    const std::string folder = NewImageFolder("sender-fails");
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, MakeImage(60000, 1)));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB3, MakeImage(3000, 4)));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(AnswerStopBoxAndExit(app, "USB Download Fail !!! Try Again !"));
    // The later stage did not run, and the failure was not reported as a sent image.
    EXPECT_EQ(device.GetStatus().imagesStarted, 1u);
    EXPECT_EQ(device.GetStatus().imagesCompleted, 0u);
}
