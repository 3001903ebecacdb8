// An update run that nothing cuts short, and its history: the real program (NimbrelRecorded.exe, copied in as
// Nimbrel.exe, records its execution state and taskbar calls in system-calls.txt beside it), the history in a
// folder of the test's own (NIMBREL_HISTORY_DIR).
#include "system/UniqueHandle.h"
#include "tests/app/WindowTestProgram.h"
#include "texts/TextKeys.h"

using namespace windowtest;
using Icon = WindowDriver::BoxIcon;

namespace {

std::vector<std::string> Calls(const std::string& program) {
    return ReadLines(program + "\\system-calls.txt");
}

bool IsPowerCall(const std::string& call) {
    return call.rfind("power ", 0) == 0 || call.rfind("throttling ", 0) == 0;
}

// The calls about the PC's power, in their order; or all the others.
std::vector<std::string> PowerCalls(const std::string& program, bool power = true) {
    std::vector<std::string> calls;
    for (const auto& call : Calls(program))
        if (IsPowerCall(call) == power)
            calls.push_back(call);
    return calls;
}

// What the recorded program reads as the PC's power ("AC FLAG PERCENT").
bool FeedPower(const std::string& program, const std::string& status) {
    return WriteText(program + "\\power.txt", status);
}

// What Windows sends when the window's taskbar button exists; Wine's desktop may never send it.
void AnnounceTaskbarButton(WindowDriver& app) {
    ::PostMessageA(app.MainWindow(), ::RegisterWindowMessageA("TaskbarButtonCreated"), 0, 0);
}

// The window's answer to a log-off; -1 when it did not answer.
LRESULT QueryEndSession(WindowDriver& app) {
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutA(app.MainWindow(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG,
                               5000, &answer))
        return -1;
    return static_cast<LRESULT>(answer);
}

bool WaitForCall(const std::string& program, const std::string& call) {
    for (int i = 0; i < 400; ++i) {
        const auto calls = Calls(program);
        if (std::find(calls.begin(), calls.end(), call) != calls.end())
            return true;
        ::Sleep(50);
    }
    return false;
}

// Starts the recorded program with a firmware image of `size` bytes, announces its taskbar button and
// presses Update File.
::testing::AssertionResult StartRecordedRun(WindowDriver& app, const std::string& program,
                                            const std::string& name, std::size_t size) {
    const std::string folder = NewImageFolder(name);
    if (!WriteFile(folder + "\\" + FIRM, MakeImage(size, 1)))
        return ::testing::AssertionFailure() << "cannot write the image";
    const ::testing::AssertionResult started = StartProgram(app, folder, program + "\\Nimbrel.exe");
    if (!started)
        return started;
    const ::testing::AssertionResult linked = WaitLinked(app);
    if (!linked)
        return linked;
    AnnounceTaskbarButton(app);
    app.Click(IDC_UPDATE_FILE);
    return ::testing::AssertionSuccess();
}

// Runs that end with the download-fail box: the history and the released execution state are there before
// the box is answered, the taskbar shows the failure; the program ends with 0 after it.
void ExpectFailedRunEnds(WindowDriver& app, const std::string& program, const HistoryFolder& history,
                         const std::string& runEnd) {
    ASSERT_TRUE(app.WaitForMessageBox(RUN_MS));
    EXPECT_TRUE(WaitForCall(program, "awake-end")) << "the system was never released";
    ExpectHistory(history.Lines(),
                  {RUN_START + "ostrel",
                   "stage file=firm\\.zpk size=\\d+" + SHA + " verified=none outcome=failed taken=[1-9]\\d*",
                   "run-end outcome=" + runEnd + " duration-ms=\\d+"});
    EXPECT_EQ(QueryEndSession(app), TRUE) << "the run has ended";
    ASSERT_TRUE(AnswerStopBoxAndExit(app, "USB Download Fail !!! Try Again !"));
    const auto calls = Calls(program);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "awake"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "awake-end"), 1);
    EXPECT_NE(std::find(calls.begin(), calls.end(), "state error"), calls.end());
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "state none");
}

} // namespace

TEST(RunSafety, AWholeRunKeepsTheSystemAwakePerImageMirrorsTheBarAndLeavesItsHistory) {
    VirtualDevice device;
    HistoryFolder history(NewFolder("history-whole"));
    const std::string program = RecordedProgram("whole");
    ASSERT_TRUE(FeedPower(program, "1 128 255")); // a desktop: mains, no battery
    const std::string folder = NewImageFolder("history-whole");
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, MakeImage(7000, 1)));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB1, MakeImage(3000, 2, 0)));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB3, MakeImage(5000, 3)));
    WindowDriver app;
    ASSERT_TRUE(StartProgram(app, folder, program + "\\Nimbrel.exe"));
    ASSERT_TRUE(WaitLinked(app));
    AnnounceTaskbarButton(app);
    EXPECT_EQ(QueryEndSession(app), TRUE);
    app.Click(IDC_UPDATE_FILE);
    ASSERT_TRUE(WaitSent(app, device, 2));
    EXPECT_TRUE(app.ItemEnabled(IDCANCEL));
    EXPECT_EQ(QueryEndSession(app), TRUE);

    ExpectHistory(history.Lines(),
                  {RUN_START + "ostrel",
                   "stage file=firm\\.zpk size=7000" + SHA + " verified=none outcome=sent",
                   "stage file=sf_pcmimgcdb2\\.zpk verified=none outcome=absent",
                   "stage file=sf_pcmimgcdb1\\.zpk size=3000" + SHA + " verified=none outcome=not-marked",
                   "stage file=sf_pcmimgcdb3\\.zpk size=5000" + SHA + " verified=none outcome=sent",
                   "run-end outcome=completed duration-ms=\\d+"});
    // The system is held awake for each image and let go after it; the taskbar follows the bar to its end
    // and shows no progress once the run is over.
    std::vector<std::string> awake, taskbar;
    for (const auto& call : PowerCalls(program, false))
        (call.rfind("awake", 0) == 0 ? awake : taskbar).push_back(call);
    // Looked at the power before anything else, exempt from throttling from then to the run's end.
    EXPECT_EQ(PowerCalls(program),
              (std::vector<std::string>{"power 1 128 255", "throttling 5", "throttling 0"}));
    EXPECT_EQ(awake, (std::vector<std::string>{"awake", "awake-end", "awake", "awake-end"}));
    ASSERT_GE(taskbar.size(), 4u);
    EXPECT_EQ(taskbar.front(), "taskbar-button");
    EXPECT_EQ(taskbar[1], "state normal");
    EXPECT_EQ(taskbar[taskbar.size() - 2], "progress 100/100");
    EXPECT_EQ(taskbar.back(), "state none");
}

TEST(RunSafety, ARefusedImageAndAnotherModelLeaveTheirLinesAndNeverHoldTheSystemAwake) {
    VirtualDevice device;
    HistoryFolder history(NewFolder("history-refused"));
    const std::string program = RecordedProgram("refused");
    const std::string folder = NewImageFolder("history-refused");
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, MakeImage(3000, 1, 1, 0x24)));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder, program + "\\Nimbrel.exe"));
    ASSERT_TRUE(AnswerBox(app, LangText(TEXT_SECTION_MESSAGE, TEXT_BAD_MARK), Icon::Exclamation));
    ASSERT_TRUE(app.WaitUntilResponsive(RUN_MS));
    ExpectHistory(history.Lines(),
                  {RUN_START + "ostrel",
                   "stage file=firm\\.zpk size=3000" + SHA + " verified=none outcome=refused-1022",
                   "run-end outcome=refused duration-ms=\\d+"});
    EXPECT_TRUE(app.ItemEnabled(IDCANCEL));
    app.Terminate();

    VirtualDevice other({"--identity-byte", "b"});
    HistoryFolder otherHistory(NewFolder("history-model"));
    const std::string otherProgram = RecordedProgram("model");
    WindowDriver second;
    ASSERT_TRUE(StartProgram(second, folder, otherProgram + "\\Nimbrel.exe"));
    ASSERT_TRUE(WaitLinked(second));
    AnnounceTaskbarButton(second);
    second.Click(IDC_UPDATE_FILE);
    ASSERT_TRUE(second.WaitForMessageBox(RUN_MS));
    // Written before the box: the program ends after it.
    ExpectHistory(otherHistory.Lines(),
                  {RUN_START + "not-ostrel", "run-end outcome=wrong-model duration-ms=\\d+"});
    ASSERT_TRUE(AnswerBox(second, "This is Not Ostrel!", Icon::Stop));
    ASSERT_TRUE(second.WaitForExit(RUN_MS));
    for (const auto& calls : {Calls(program), Calls(otherProgram)})
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "awake"), 0);
    EXPECT_EQ(PowerCalls(otherProgram, false), (std::vector<std::string>{"taskbar-button", "state none"}));
}

TEST(RunSafety, AFailedTransferLeavesItsLinesAndLetsTheSystemSleepBeforeTheExit) {
    VirtualDevice device({"--fail-writes-after", "8192", "--pipe-buffer", "1024"});
    HistoryFolder history(NewFolder("history-failed"));
    const std::string program = RecordedProgram("failed");
    WindowDriver app;
    ASSERT_TRUE(StartRecordedRun(app, program, "history-failed", 60000));
    ExpectFailedRunEnds(app, program, history, "transfer-failed");
}

TEST(RunSafety, AnUnplugDuringATransferLeavesItsLinesAndLetsTheSystemSleepBeforeTheExit) {
    VirtualDevice device({"--rate", "40000"});
    HistoryFolder history(NewFolder("history-unplug"));
    const std::string program = RecordedProgram("unplug");
    WindowDriver app;
    ASSERT_TRUE(StartRecordedRun(app, program, "history-unplug", 200000));
    ASSERT_TRUE(
        device.WaitFor([](const VirtualDevice::Status& s) { return s.payloadBytes >= 4096; }, RUN_MS));
    device.Unplug();
    ExpectFailedRunEnds(app, program, history, "(device-lost|transfer-failed)");
}

TEST(RunSafety, TheSessionEndingStopsTheImageInFlightBeforeItsHistoryAndTheLockGo) {
    VirtualDevice device({"--rate", "40000"});
    HistoryFolder history(NewFolder("history-session-end"));
    const std::string folder = NewImageFolder("session-end");
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, MakeImage(400000, 1)));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(
        device.WaitFor([](const VirtualDevice::Status& s) { return s.payloadBytes >= 4096; }, RUN_MS));
    // Forced, or the user overrode the refusal: the session ends with the image in flight.
    DWORD_PTR answer = 0;
    ASSERT_TRUE(::SendMessageTimeoutA(app.MainWindow(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF,
                                      SMTO_ABORTIFHUNG, 10000, &answer));
    // By the time the window has answered, the sender has let go of the device and the lock is free for
    // another copy; no byte comes after.
    const UniqueHandle lock(
        ::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, device.RunLockName().c_str()));
    ASSERT_TRUE(lock.IsValid());
    EXPECT_EQ(::WaitForSingleObject(lock.Get(), 0), WAIT_OBJECT_0);
    ::ReleaseMutex(lock.Get());
    ASSERT_TRUE(device.WaitFor([](const VirtualDevice::Status& s) { return s.openConnections == 0; }, 5000));
    const auto images = device.Images();
    ASSERT_EQ(images.size(), 1u);
    EXPECT_LT(images[0].payload.size(), 400000u - 1024) << "stopped before its end";
    ExpectHistory(history.Lines(),
                  {RUN_START + "ostrel",
                   "stage file=firm\\.zpk size=400000" + SHA +
                       " verified=none outcome=failed taken=" + std::to_string(images[0].payload.size()),
                   "run-end outcome=interrupted duration-ms=\\d+"});
}

TEST(RunSafety, ALowBatteryKeepsTheRunFromStartingAndAnUnknownChargeDoesNot) {
    VirtualDevice device;
    HistoryFolder history(NewFolder("history-battery"));
    const std::string program = RecordedProgram("battery");
    ASSERT_TRUE(FeedPower(program, "0 0 15"));
    const std::string folder = NewImageFolder("history-battery");
    const Bytes firm = MakeImage(3000, 1);
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, firm));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder, program + "\\Nimbrel.exe"));
    ASSERT_TRUE(AnswerBox(app, LangText(TEXT_SECTION_MESSAGE, TEXT_LOW_BATTERY), Icon::Exclamation));
    ASSERT_TRUE(app.WaitUntilResponsive(RUN_MS));
    ExpectHistory(history.Lines(), {RUN_START + "not-run", "run-end outcome=low-battery duration-ms=\\d+"});
    EXPECT_EQ(device.GetStatus().pipe00Connections, 0u) << "nothing of the device was opened";
    EXPECT_EQ(PowerCalls(program), std::vector<std::string>{"power 0 0 15"});

    // On battery with a charge the system cannot tell, the run goes ahead.
    ASSERT_TRUE(FeedPower(program, "0 0 255"));
    app.Click(IDC_UPDATE_FILE);
    ASSERT_TRUE(WaitSent(app, device, 1));
    EXPECT_EQ(device.Images().at(0).payload, Payload(firm));
}

TEST(RunSafety, AHistoryThatCannotBeWrittenLeavesTheUpdateUnchanged) {
    VirtualDevice device;
    // Below a file: the folder can never be made.
    const std::string blocked = NewFolder("history-blocked");
    ASSERT_TRUE(WriteText(blocked + "\\file", "not a folder"));
    HistoryFolder history(blocked + "\\file\\Nimbrel");
    const std::string folder = NewImageFolder("history-blocked");
    const Bytes firm = MakeImage(7000, 1), cdb3 = MakeImage(5000, 3);
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, firm));
    ASSERT_TRUE(WriteFile(folder + "\\" + CDB3, cdb3));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(WaitSent(app, device, 2));
    const auto images = device.Images();
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].payload, Payload(firm));
    EXPECT_EQ(images[1].payload, Payload(cdb3));
    EXPECT_TRUE(images[1].complete);
    EXPECT_TRUE(app.MessageBoxes().empty());
    EXPECT_EQ(app.ItemText(IDC_STAGE_TEXT), LangText(TEXT_SECTION_MESSAGE, TEXT_STAGE_CDB3));
}

// Cancel, Escape and the close box during a transfer: the window stays and the image goes through whole;
// after the run each of them closes the window again. Windows may not end the session meanwhile.
class RunSafetyClosing : public ::testing::TestWithParam<const char*> {};

TEST_P(RunSafetyClosing, WaitsForTheRunAndWorksAfterIt) {
    const std::string way = GetParam();
    const auto close = [&](WindowDriver& app, const std::string& how) {
        if (how == "Cancel") {
            app.Click(IDCANCEL);
        } else if (how == "Escape") {
            ::PostMessageA(app.Item(IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 1);
            ::PostMessageA(app.Item(IDCANCEL), WM_KEYUP, VK_ESCAPE, 0xC0000001);
        } else {
            ::PostMessageA(app.MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
        }
    };
    VirtualDevice device({"--rate", "40000"});
    const std::string folder = NewImageFolder("closing-" + way);
    const Bytes firm = MakeImage(160000, 1);
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, firm));
    WindowDriver app;
    ASSERT_TRUE(StartProgram(app, folder));
    ASSERT_TRUE(WaitLinked(app));
    EXPECT_EQ(QueryEndSession(app), TRUE);
    app.Click(IDC_UPDATE_FILE);
    ASSERT_TRUE(
        device.WaitFor([](const VirtualDevice::Status& s) { return s.payloadBytes >= 2048; }, RUN_MS));
    EXPECT_EQ(QueryEndSession(app), FALSE);
    EXPECT_FALSE(app.ItemEnabled(IDCANCEL));
    for (const char* how : {"Cancel", "Escape", "close box"})
        close(app, how);
    // Still in the middle of the image: the wait below handles all three while the run goes on.
    ASSERT_EQ(device.GetStatus().imagesCompleted, 0u);
    ASSERT_TRUE(WaitSent(app, device, 1));
    EXPECT_TRUE(::IsWindowVisible(app.MainWindow()));
    EXPECT_TRUE(device.Images().at(0).complete);
    EXPECT_EQ(device.Images().at(0).payload, Payload(firm));
    EXPECT_EQ(QueryEndSession(app), TRUE);
    EXPECT_TRUE(app.ItemEnabled(IDCANCEL));

    close(app, way);
    DWORD status = 1;
    ASSERT_TRUE(app.WaitForExit(START_MS, &status));
    EXPECT_EQ(status, 0u);
}

INSTANTIATE_TEST_SUITE_P(Ways, RunSafetyClosing, ::testing::Values("Cancel", "Escape", "CloseBox"));
