// A console update stopped between two images says which images the device took whole, which it did not get,
// and what stopped it: in its words on standard error and in its JSON events.
#include "system/UniqueHandle.h"
#include "tests/cli/ConsoleClosing.h"
#include "tests/cli/JsonEvents.h"
#include "tests/cli/RecordedCli.h"
#include "tests/support/CliProcess.h"
#include "tests/support/HistoryFolder.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualDevice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr DWORD RUN_MS = 60000;

// The ways the program can be stopped from outside: Wine delivers no console event to a program started
// without a terminal, so the recorded program's seam stands in for Ctrl+C and the console's closing; the stop
// event is the program's own.
bool Signal(const std::string& event) {
    const UniqueHandle stop(::OpenEventA(EVENT_MODIFY_STATE, FALSE, event.c_str()));
    return stop.IsValid() && ::SetEvent(stop.Get());
}

TEST(CliStop, BetweenTwoImagesItNamesTheImagesSentWholeAndNotSentAndWhatStoppedIt) {
    struct StopCase {
        const char* name;
        std::string (*event)(DWORD pid); // signalled to stop the program
        bool json;
        const char* cause;     // in the words of standard error
        const char* causeWord; // in the JSON
    };
    const auto stopEvent = [](DWORD pid) { return "Local\\NimbrelCli-Stop-" + std::to_string(pid); };
    const StopCase cases[] = {
        {"Ctrl+C", ConsoleCtrlCEventName, false, "Ctrl+C", "ctrl-c"},
        {"stop event", stopEvent, false, "the stop event of another program", "stop-event"},
        {"console closed", ConsoleClosingEventName, false, "the console window closing", "console-closed"},
        {"Ctrl+C, JSON", ConsoleCtrlCEventName, true, "Ctrl+C", "ctrl-c"},
        {"stop event, JSON", stopEvent, true, "the stop event of another program", "stop-event"},
    };
    const std::vector<BYTE> firm = MakeImage(5000);
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.name);
        // The device reads firm.zpk whole, then stops reading: the next image's command arrives, and its
        // payload waits in a small pipe buffer. The stop comes there, with nothing of the second image taken.
        VirtualDevice device(
            {"--stall-after-bytes", std::to_string(firm.size() - 1024), "--pipe-buffer", "1024"});
        CliProcess cli;
        const RecordedCli recorded(cli, "1 128 255", false);
        cli.Folder().Write("firm.zpk", firm);
        cli.Folder().Write("sf_pcmimgcdb2.zpk", MakeImage(20000));
        cli.Folder().Write("sf_pcmimgcdb3.zpk", MakeImage(3000));
        ASSERT_TRUE(cli.Start(c.json ? "--json" : "", recorded.Program()));
        ASSERT_TRUE(
            device.WaitFor([](const VirtualDevice::Status& s) { return s.imagesStarted == 2; }, RUN_MS));
        ASSERT_TRUE(Signal(c.event(cli.Pid()))) << ::GetLastError();
        ASSERT_EQ(cli.Finish(10000), 5) << cli.Output() << cli.Errors();

        const std::string said = std::string("update interrupted (") + c.cause +
                                 "): sent whole: firm.zpk; not sent: sf_pcmimgcdb2.zpk, sf_pcmimgcdb3.zpk";
        EXPECT_NE(cli.Errors().find(said), std::string::npos) << cli.Errors();
        const auto status = device.GetStatus();
        EXPECT_EQ(status.payloadBytes, firm.size() - 1024) << "nothing of the second image taken";
        if (!c.json)
            continue;
        const std::vector<Json> events = JsonLines(cli);
        const Json end = EventsNamed(events, "run-end").at(0);
        EXPECT_EQ(end.at("outcome"), "interrupted");
        EXPECT_EQ(end.at("exitCode"), 5);
        EXPECT_EQ(end.at("stoppedBy"), c.causeWord);
        EXPECT_EQ(end.at("sentWhole"), Json::array({"firm.zpk"}));
        EXPECT_EQ(end.at("notSent"), Json::array({"sf_pcmimgcdb2.zpk", "sf_pcmimgcdb3.zpk"}));
        const auto stages = EventsNamed(events, "stage-end");
        ASSERT_EQ(stages.size(), 2u);
        EXPECT_EQ(stages[1].at("outcome"), "failed");
        EXPECT_EQ(stages[1].at("taken"), 0);
        EXPECT_EQ(EventsNamed(events, "error").at(0).at("message"), said);
    }
}

TEST(CliStop, DuringTheWaitForTheDeviceNothingOfTheDeviceIsTouchedAndTheHistoryIsWhole) {
    const std::pair<const char*, std::string (*)(DWORD pid)> ways[] = {
        {"Ctrl+C", ConsoleCtrlCEventName},
        {"console closed", ConsoleClosingEventName},
    };
    for (const auto& [way, event] : ways) {
        SCOPED_TRACE(way);
        VirtualDevice device({"--absent"});
        CliProcess cli;
        HistoryFolder history(cli.Folder().Path());
        const RecordedCli recorded(cli, "1 128 255", false);
        cli.Folder().Write("firm.zpk", MakeImage(3000));
        ASSERT_TRUE(cli.Start("--wait 60", recorded.Program()));
        ASSERT_TRUE(cli.WaitForOutput("Waiting up to 60 s for the device...", RUN_MS)) << cli.Output();
        // The device comes a moment after the stop, before the program's next look.
        ASSERT_TRUE(Signal(event(cli.Pid()))) << ::GetLastError();
        ASSERT_TRUE(device.Plug());
        const long exitCode = cli.Finish(10000);
        EXPECT_NE(exitCode, -1) << "ended within the time Windows gives";
        if (std::string(way) == "Ctrl+C") {
            EXPECT_EQ(exitCode, 5);
            EXPECT_NE(cli.Errors().find("update interrupted (Ctrl+C): sent whole: none; not sent: firm.zpk"),
                      std::string::npos)
                << cli.Errors();
        }
        const auto status = device.GetStatus();
        EXPECT_EQ(status.identityRequests, 0u);
        EXPECT_EQ(status.pipe00Connections + status.pipe01Connections, 0u);
        const auto lines = history.Lines();
        ASSERT_EQ(lines.size(), 2u) << (lines.empty() ? "" : lines.back());
        EXPECT_TRUE(HistoryLineMatches(lines[0], "run-start .* probe=not-run")) << lines[0];
        EXPECT_TRUE(HistoryLineMatches(lines[1], R"(run-end outcome=interrupted duration-ms=\d+)"))
            << lines[1];
    }
}

} // namespace
