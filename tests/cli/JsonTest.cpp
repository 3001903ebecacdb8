// NimbrelCli --json: every line of standard output parsed by the JSON library, and the events checked against
// what the virtual device received and what the history says.
#include "system/Sha256.h"
#include "tests/cli/JsonEvents.h"
#include "tests/support/HistoryFolder.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr DWORD RUN_MS = 60000;

std::string Sha256Of(const std::vector<BYTE>& bytes) {
    Sha256 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.FinishHex();
}

// Every event of a run carries the run's id, and the run's history lines carry the same.
void ExpectOneRunId(const std::vector<Json>& events, const HistoryFolder& history) {
    ASSERT_FALSE(events.empty());
    const Json id = events.front().at("run");
    ASSERT_TRUE(id.is_string());
    for (const Json& event : events)
        EXPECT_EQ(event.at("run"), id) << event.dump();
    const auto lines = history.Lines();
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines)
        EXPECT_EQ(HistoryRunId(line), id.get<std::string>()) << line;
}

struct JsonCase {
    const char* name;
    std::vector<std::string> deviceArgs;
    std::vector<std::pair<const char*, std::vector<BYTE>>> files; // in stage order
    long exitCode;
    const char* runOutcome;
    std::vector<const char*> stageOutcomes; // of the stages that ran, in order
    const char* error;                      // the error event's words; empty: none
    const char* args = "--json";
    bool listed = false; // the folder has a SHA256SUMS naming its images
};

TEST(CliJson, EachLineIsOneEventOfTheRunAsTheDeviceReceivedIt) {
    const std::vector<BYTE> firm = MakeImage(30000);
    const std::vector<BYTE> cdb2 = MakeImage(9000);
    const JsonCase cases[] = {
        {"whole update",
         {},
         {{"firm.zpk", firm}, {"sf_pcmimgcdb2.zpk", cdb2}},
         0,
         "completed",
         {"sent", "sent", "absent", "absent"},
         ""},
        {"refused image",
         {},
         {{"firm.zpk", firm}, {"sf_pcmimgcdb2.zpk", MakeImage(3000, 0x24)}},
         4,
         "refused",
         {"sent", "refused-1022"},
         "sf_pcmimgcdb2.zpk is not an image: its first byte is not '%'"},
        {"failed transfer",
         {"--fail-writes-after", "8192", "--pipe-buffer", "1024"},
         {{"firm.zpk", MakeImage(60000)}},
         5,
         "transfer-failed",
         {"failed"},
         "firm.zpk: transfer failed, the device took "},
        // The device takes no data connection after the probe: the stage began and sent nothing.
        {"no pipe",
         {"--unplug-after-images", "0"},
         {{"firm.zpk", firm}},
         2,
         "no-pipe",
         {"no-pipe"},
         "the device's data pipe cannot be opened to send firm.zpk"},
        {"check",
         {},
         {{"firm.zpk", firm}, {"sf_pcmimgcdb2.zpk", cdb2}},
         0,
         "checked",
         {"checked", "checked", "absent", "absent"},
         "",
         "--check --json",
         true},
    };
    for (const JsonCase& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualDevice device(c.deviceArgs);
        CliProcess cli;
        HistoryFolder history(cli.Folder().Path());
        std::string sums;
        for (const auto& file : c.files) {
            cli.Folder().Write(file.first, file.second);
            sums += Sha256Of(file.second) + "  " + file.first + "\n";
        }
        if (c.listed)
            cli.Folder().Write("SHA256SUMS", sums);
        ASSERT_TRUE(cli.Start(c.args));
        ASSERT_EQ(cli.Finish(RUN_MS), c.exitCode) << cli.Output() << cli.Errors();
        const auto took = [](const char* outcome) {
            return std::string(outcome) == "sent" || std::string(outcome) == "failed";
        };
        const auto sent =
            static_cast<unsigned>(std::count_if(c.stageOutcomes.begin(), c.stageOutcomes.end(), took));
        ASSERT_TRUE(device.WaitForImages(sent, RUN_MS));
        const auto received = device.Images();
        EXPECT_EQ(received.size(), sent);
        EXPECT_EQ(device.GetStatus().identityRequests, 1u);

        const std::vector<Json> events = JsonLines(cli);
        ExpectOneRunId(events, history);
        ASSERT_GE(events.size(), 2u);
        EXPECT_EQ(events.front().at("event"), "run-start");
        EXPECT_EQ(events.back().at("event"), "run-end") << "a reader that stops there has had the reason";
        EXPECT_EQ(events.front().at("program"), "NimbrelCli.exe");
        EXPECT_NE(events.front().at("link").get<std::string>().find("TandryUSB.dll"), std::string::npos);
        EXPECT_EQ(events.front().at("lockAbandoned"), false);

        const auto images = EventsNamed(events, "image");
        const auto ends = EventsNamed(events, "stage-end");
        ASSERT_EQ(ends.size(), c.stageOutcomes.size());
        ASSERT_EQ(images.size(), ends.size());
        std::size_t sentIndex = 0;
        for (std::size_t i = 0; i < ends.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(images[i].at("stage"), i + 1);
            EXPECT_EQ(ends[i].at("stage"), i + 1);
            EXPECT_EQ(ends[i].at("outcome"), c.stageOutcomes[i]);
            if (i < c.files.size()) {
                EXPECT_EQ(images[i].at("verified"), c.listed ? "sha256" : "none");
                EXPECT_EQ(images[i].at("file"), c.files[i].first);
                EXPECT_EQ(images[i].at("size"), c.files[i].second.size());
                EXPECT_EQ(images[i].at("sha256"), Sha256Of(c.files[i].second));
            } else {
                EXPECT_EQ(images[i].at("verified"), "none");
                EXPECT_EQ(images[i].at("verdict"), "absent");
                EXPECT_TRUE(images[i].at("sha256").is_null());
            }
            if (ends[i].at("outcome") == "sent" || ends[i].at("outcome") == "failed") {
                ASSERT_LT(sentIndex, received.size());
                EXPECT_EQ(ends[i].at("taken"), received[sentIndex].payload.size()) << "what the device took";
                ++sentIndex;
            }
        }
        // Progress of every image sent, the last of each at the byte the device took last.
        const auto progress = EventsNamed(events, "progress");
        ASSERT_EQ(progress.empty(), sent == 0);
        EXPECT_LE(progress.size(), 2 * (100 + 10) * received.size()) << "at most every 1% or 250 ms";
        if (c.exitCode == 0 && sent > 0) {
            EXPECT_EQ(progress.back().at("sent"), progress.back().at("payload"));
        }

        const Json end = EventsNamed(events, "run-end").at(0);
        EXPECT_EQ(end.at("outcome"), c.runOutcome);
        EXPECT_EQ(end.at("exitCode"), c.exitCode);
        EXPECT_TRUE(end.at("durationMs").is_number_unsigned());
        const auto errors = EventsNamed(events, "error");
        if (*c.error) {
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_EQ(errors[0].at("exitCode"), c.exitCode);
            EXPECT_NE(errors[0].at("message").get<std::string>().find(c.error), std::string::npos)
                << errors[0];
            // Standard error stays as in the text mode.
            EXPECT_NE(cli.Errors().find("NimbrelCli: " + errors[0].at("message").get<std::string>()),
                      std::string::npos)
                << cli.Errors();
        } else {
            EXPECT_TRUE(errors.empty());
            EXPECT_EQ(cli.Errors(), "");
        }
    }
}

TEST(CliJson, TextsWithQuotesBackslashesAndAccentedLettersComeOutAsUtf8) {
    ASSERT_EQ(::GetACP(), 1252u) << "the table's bytes are those of code page 1252";
    VirtualDevice device;
    CliProcess cli;
    // An image folder with an accented name, and a table in code page 1252 whose stage text has a quote and
    // a backslash (a file name cannot hold a quote on Windows).
    const std::string folder = cli.Folder().Path() + "\\B\xE4nch";
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    const std::string image = folder + "\\firm.zpk";
    cli.Folder().Write("lang.ini", "[message]\r\n1027=Firmware \"Gr\xFCn\" nach C:\\Ger\xE4t\r\n");
    {
        TempFolder scratch;
        ASSERT_TRUE(::CopyFileA(scratch.Write("firm.zpk", MakeImage(3000)).c_str(), image.c_str(), FALSE));
    }
    ASSERT_TRUE(cli.Start("--json --lang lang.ini --dir \"" + folder + "\""));
    EXPECT_EQ(cli.Finish(RUN_MS), 0) << cli.Errors();
    ::DeleteFileA(image.c_str());
    ::RemoveDirectoryA(folder.c_str());

    const std::vector<Json> events = JsonLines(cli);
    ASSERT_FALSE(events.empty());
    const std::string start = events.front().at("folder");
    EXPECT_EQ(start.substr(start.size() - 6), "B\xC3\xA4nch");
    const Json firm = EventsNamed(events, "image").at(0);
    EXPECT_EQ(firm.at("text"), "Firmware \"Gr\xC3\xBCn\" nach C:\\Ger\xC3\xA4t");
    const std::string out = cli.Output();
    EXPECT_NE(out.find(R"("text":"Firmware \"Gr)"), std::string::npos) << out;
}

TEST(CliJson, EachDeviceOfABenchIsOneRunAndTheSummaryCountsThem) {
    VirtualDevice device;
    CliProcess cli;
    HistoryFolder history(cli.Folder().Path());
    const std::vector<BYTE> firm = MakeImage(6000);
    cli.Folder().Write("firm.zpk", firm);
    ASSERT_TRUE(cli.Start("--each --count 3 --json"));
    const char* identities[] = {"b", "B"};
    for (unsigned next = 2; next <= 3; ++next) {
        ASSERT_TRUE(cli.WaitForOutput("\"event\":\"device\",\"run\"", RUN_MS)) << cli.Output();
        ASSERT_TRUE(cli.WaitForOutput("\"for\":\"removal\",\"number\":" + std::to_string(next - 1), RUN_MS));
        ASSERT_TRUE(device.Unplug());
        ASSERT_TRUE(cli.WaitForOutput("\"for\":\"device\",\"number\":" + std::to_string(next), RUN_MS));
        ASSERT_EQ(device.Command(std::string("identity ") + identities[next - 2]).rfind("ok", 0), 0u);
        ASSERT_TRUE(device.Plug());
    }
    EXPECT_EQ(cli.Finish(RUN_MS), 9) << cli.Output() << cli.Errors();
    ASSERT_TRUE(device.WaitForImages(2, RUN_MS));

    const std::vector<Json> events = JsonLines(cli);
    const auto devices = EventsNamed(events, "device");
    ASSERT_EQ(devices.size(), 3u);
    const char* outcomes[] = {"completed", "wrong-model", "completed"};
    std::vector<std::string> runIds;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(devices[i].at("number"), i + 1);
        EXPECT_EQ(devices[i].at("outcome"), outcomes[i]);
        EXPECT_EQ(devices[i].at("updated"), i != 1);
        runIds.push_back(devices[i].at("run"));
        EXPECT_TRUE(runIds.size() == 1 || runIds[i - 1] < runIds[i]) << "ids sort by time";
    }
    // Each run's events carry its own id; the waits and the summary belong to no run.
    std::size_t run = 0;
    for (const Json& event : events) {
        const std::string name = event.at("event");
        if (name == "waiting" || name == "summary") {
            EXPECT_TRUE(event.at("run").is_null()) << event;
            continue;
        }
        if (name == "run-start")
            ++run;
        ASSERT_GE(run, 1u);
        EXPECT_EQ(event.at("run"), runIds.at(run - 1)) << event;
    }
    const Json summary = EventsNamed(events, "summary").at(0);
    EXPECT_EQ(summary.at("devices"), 3);
    EXPECT_EQ(summary.at("updated"), 2);
    EXPECT_EQ(summary.at("notUpdated"), 1);
    EXPECT_EQ(summary.at("exitCode"), 9);
    EXPECT_EQ(events.back(), summary);

    // The history's lines of each run carry the id its device event gave.
    std::vector<std::string> historyIds;
    for (const std::string& line : history.Lines())
        if (line.find(" run-start ") != std::string::npos)
            historyIds.push_back(HistoryRunId(line));
    EXPECT_EQ(historyIds, runIds);
    const auto received = device.Images();
    ASSERT_EQ(received.size(), 2u);
    for (const auto& image : received)
        EXPECT_EQ(image.payload, std::vector<std::uint8_t>(firm.begin() + 1024, firm.end()));
}

} // namespace
