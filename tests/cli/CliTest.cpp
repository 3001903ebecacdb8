// The real NimbrelCli.exe against the virtual device: what reaches the device, what the console shows, and
// every exit code.
#include "cli/CliInterrupt.h"
#include "system/Sha256.h"
#include "system/Paths.h"
#include "system/UniqueHandle.h"
#include "tests/support/CliProcess.h"
#include "tests/support/HistoryFolder.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualDevice.h"
#include "tests/cli/ConsoleClosing.h"
#include "tests/cli/RecordedCli.h"
#include "tests/cli/RunLockHolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr DWORD RUN_MS = 60000;

// The stage order of an update run: file 2 goes before file 1.
const char* const STAGE_FILES[] = {"firm.zpk", "sf_pcmimgcdb2.zpk", "sf_pcmimgcdb1.zpk", "sf_pcmimgcdb3.zpk"};

// Runs the program to its end with `args` and images already in `images` (its --dir).
long RunCli(CliProcess& cli, const std::string& args) {
    EXPECT_TRUE(cli.Start(args));
    return cli.Finish(RUN_MS);
}

// The fingerprint that the history gives `bytes`.
std::string Sha256Of(const std::vector<BYTE>& bytes) {
    Sha256 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.FinishHex();
}

// A file name as a regular expression.
std::string Literal(const std::string& name) {
    std::string pattern;
    for (char c : name)
        pattern += c == '.' ? std::string("\\.") : std::string(1, c);
    return pattern;
}

TEST(Cli, SendsEveryImageInStageOrderByteForByteAndLogsPlainSteps) {
    VirtualDevice device;
    ASSERT_TRUE(device.Running());
    TempFolder images;
    std::vector<std::vector<BYTE>> sent;
    for (std::size_t i = 0; i < 4; ++i) {
        std::vector<BYTE> image = MakeImage(30000 + 7000 * i);
        image[2] = static_cast<BYTE>('a' + i); // every command differs
        images.Write(STAGE_FILES[i], image);
        sent.push_back(image);
    }
    HistoryFolder history(images.Path());
    CliProcess cli;
    ASSERT_EQ(RunCli(cli, "--dir \"" + images.Path() + "\""), 0) << cli.Errors();

    ASSERT_TRUE(device.WaitForImages(4, 10000));
    const auto got = device.Images();
    ASSERT_EQ(got.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(STAGE_FILES[i]);
        EXPECT_TRUE(got[i].complete);
        EXPECT_EQ(got[i].command, std::vector<std::uint8_t>(sent[i].begin(), sent[i].begin() + 20));
        EXPECT_EQ(got[i].payload, std::vector<std::uint8_t>(sent[i].begin() + 1024, sent[i].end()));
    }
    const std::string out = cli.Output();
    EXPECT_NE(out.find("[1/4] firm.zpk: Updating the firmware (firm.zpk)..."), std::string::npos) << out;
    EXPECT_NE(out.find("[4/4] sf_pcmimgcdb3.zpk: "), std::string::npos);
    EXPECT_NE(out.find("10% 20% 30% 40% 50% 60% 70% 80% 90% 100%  Image sent."), std::string::npos) << out;
    for (std::size_t cr = out.find('\r'); cr != std::string::npos; cr = out.find('\r', cr + 1))
        ASSERT_EQ(out[cr + 1], '\n') << "no in-place updates in a file";
    EXPECT_NE(out.find("Update finished: 4 images sent."), std::string::npos);
    EXPECT_EQ(cli.Errors(), "");

    // The run's id heads its output and every one of its history lines.
    ASSERT_EQ(out.rfind("Run ", 0), 0u) << out;
    const std::string runId = out.substr(4, out.find_first_of("\r\n") - 4);
    EXPECT_GE(runId.size(), 14u) << runId;
    for (const std::string& line : history.Lines())
        EXPECT_EQ(line.substr(19, 6 + runId.size()), " run=" + runId + " ") << line;

    // The same lines as the window's, each stage with the size and fingerprint of the bytes the device got.
    const auto lines = history.Lines();
    ASSERT_EQ(lines.size(), 6u) << (lines.empty() ? "" : lines.back());
    EXPECT_TRUE(HistoryLineMatches(
        lines[0],
        R"(run-start program=NimbrelCli\.exe version=1\.0\.0\.1 link=".*\\TandryUSB\.dll" probe=ostrel)"))
        << lines[0];
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_TRUE(HistoryLineMatches(lines[1 + i], "stage file=" + Literal(STAGE_FILES[i]) +
                                                         " size=" + std::to_string(sent[i].size()) +
                                                         " sha256=" + Sha256Of(sent[i]) +
                                                         " verified=none outcome=sent"))
            << lines[1 + i];
    EXPECT_TRUE(HistoryLineMatches(lines[5], R"(run-end outcome=completed duration-ms=\d+)")) << lines[5];
}

TEST(Cli, SkipsAbsentAndUnmarkedImagesAndWaitsForADevicePluggedInLate) {
    ASSERT_EQ(::GetACP(), 1252u) << "the expected bytes are those of code page 1252";
    // Plugged in once the program waits: a device that plugged itself in after a fixed delay came before a
    // program that started late on a busy emulated guest.
    VirtualDevice device({"--absent"});
    ASSERT_TRUE(device.Running());
    CliProcess cli;
    // Saved as Notepad saves it, in UTF-8 without a byte order mark: shown in code page 1252.
    cli.Folder().Write("lang.ini", "[message]\r\n1034=Zweiter Satz \xE2\x80\x93 gepr\xC3\xBC"
                                   "ft\r\n");
    cli.Folder().Write(STAGE_FILES[1], MakeImage(2000, 0x25, 0x00));
    const std::vector<BYTE> last = MakeImage(5000);
    cli.Folder().Write(STAGE_FILES[3], last);
    ASSERT_TRUE(cli.Start("--wait 20 --lang lang.ini"));
    ASSERT_TRUE(cli.WaitForOutput("Waiting up to 20 s for the device...", RUN_MS)) << cli.Output();
    ASSERT_TRUE(device.Plug());
    ASSERT_EQ(cli.Finish(RUN_MS), 0) << cli.Errors();
    const std::string out = cli.Output();
    EXPECT_NE(out.find("Waiting up to 20 s for the device..."), std::string::npos) << out;
    EXPECT_NE(out.find("[1/4] firm.zpk: not present, skipped"), std::string::npos) << out;
    EXPECT_NE(out.find("[2/4] sf_pcmimgcdb2.zpk: Zweiter Satz \x96 gepr\xFC"
                       "ft not marked for sending, skipped"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("[4/4] sf_pcmimgcdb3.zpk: Updating data set 3"), std::string::npos)
        << "built-in English";
    EXPECT_NE(out.find("Update finished: 1 image sent."), std::string::npos);
    ASSERT_TRUE(device.WaitForImages(1, 10000));
    EXPECT_EQ(device.Images()[0].payload, std::vector<std::uint8_t>(last.begin() + 1024, last.end()));
}

struct ExitCase {
    const char* name;
    std::vector<std::string> deviceArgs;
    std::vector<std::pair<const char*, std::vector<BYTE>>> files;
    const char* cliArgs;
    long exitCode;
    const char* error;        // a part of what standard error says
    bool runLockHeld = false; // another update holds the lock all along
};

TEST(Cli, EveryFailureHasItsExitCodeAndSaysWhy) {
    const ExitCase cases[] = {
        {"usage", {}, {}, "--wait soon", 1, "--wait takes a number of seconds"},
        {"missing folder", {}, {}, "--dir Z:\\no\\such\\folder", 1, "not found"},
        {"no device", {"--absent"}, {}, "", 2, "no device found"},
        {"wrong model", {"--identity-byte", "b"}, {}, "", 3, "This is Not Ostrel!"},
        {"too short", {}, {{"firm.zpk", MakeImage(1027)}}, "", 4, "firm.zpk is too short"},
        {"bad mark",
         {},
         {{"firm.zpk", MakeImage(3000)}, {"sf_pcmimgcdb2.zpk", MakeImage(3000, 0x24)}},
         "",
         4,
         "sf_pcmimgcdb2.zpk is not an image"},
        {"transfer broken off",
         // A small pipe buffer: the program's writes wait for the device's reads, so the break comes before
         // the program has written the whole image into the buffer.
         {"--fail-writes-after", "8192", "--pipe-buffer", "1024"},
         {{"firm.zpk", MakeImage(60000)}},
         "",
         5,
         "firm.zpk: transfer failed, the device took "},
        // The device goes away between two images: it takes no further data connection after image 2 (or
        // after the probe). Image 2 is larger than the pipe buffer, so the program is still writing it when
        // the device closes its door behind it.
        {"gone between images",
         {"--unplug-after-images", "2", "--pipe-buffer", "1024"},
         {{"firm.zpk", MakeImage(8000)},
          {"sf_pcmimgcdb2.zpk", MakeImage(8000)},
          {"sf_pcmimgcdb1.zpk", MakeImage(8000)}},
         "",
         2,
         "the device's data pipe cannot be opened to send sf_pcmimgcdb1.zpk; already sent: firm.zpk, "
         "sf_pcmimgcdb2.zpk"},
        {"gone after the probe",
         {"--unplug-after-images", "0"},
         {{"firm.zpk", MakeImage(3000)}},
         "",
         2,
         "the device's data pipe cannot be opened to send firm.zpk; no image was sent"},
        {"another update",
         {},
         {{"firm.zpk", MakeImage(3000)}},
         "",
         7,
         "another update of the device is in progress",
         true},
    };
    for (const ExitCase& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualDevice device(c.deviceArgs);
        CliProcess cli;
        for (const auto& file : c.files)
            cli.Folder().Write(file.first, file.second);
        std::optional<RunLockHolder> otherUpdate;
        if (c.runLockHeld) {
            ASSERT_TRUE(otherUpdate.emplace(device).Held()) << "error " << ::GetLastError();
        }
        EXPECT_EQ(RunCli(cli, c.cliArgs), c.exitCode) << cli.Output() << cli.Errors();
        EXPECT_NE(cli.Errors().find(c.error), std::string::npos) << cli.Errors();
        if (c.runLockHeld) {
            // Refused before it so much as looked for the device.
            const auto status = device.GetStatus();
            EXPECT_EQ(status.presenceChecks + status.pipe00Connections + status.pipe01Connections, 0u);
        }
        if (c.exitCode == 4) {
            // The images before the rejected one may still be in the pipe when the program ends.
            const unsigned before = static_cast<unsigned>(c.files.size() - 1);
            EXPECT_TRUE(device.WaitForImages(before, 10000));
            EXPECT_EQ(device.GetStatus().imagesStarted, before) << "images before the rejected one";
        }
    }
}

TEST(Cli, WithoutTheLinkLibraryEndsWithSix) {
    VirtualDevice device;
    CliProcess cli;
    const std::string program = cli.Folder().Path() + "\\NimbrelCli.exe";
    ASSERT_TRUE(::CopyFileA((ProgramFolder() + "NimbrelCli.exe").c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(cli.Start("", program));
    EXPECT_EQ(cli.Finish(), 6);
    ::DeleteFileA(program.c_str());
    EXPECT_NE(cli.Errors().find("TandryUSB.dll is missing"), std::string::npos) << cli.Errors();
    EXPECT_EQ(device.GetStatus().pipe00Connections, 0u);
}

TEST(Cli, CtrlCDuringATransferCancelsItClosesThePipeAndEndsWithFive) {
    VirtualDevice device({"--rate", "200000"});
    CliProcess cli;
    cli.Folder().Write("firm.zpk", MakeImage(1024 + 2 * 1024 * 1024));
    ASSERT_TRUE(
        cli.Start("", ProgramFolder() + "NimbrelCli.exe", CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP));
    ASSERT_TRUE(
        device.WaitFor([](const VirtualDevice::Status& s) { return s.payloadBytes > 100000; }, 20000));
    ASSERT_TRUE(cli.Interrupt()) << "error " << ::GetLastError();
    EXPECT_EQ(cli.Finish(10000), 5);
    EXPECT_NE(cli.Errors().find("update interrupted (" + cli.InterruptedBy() +
                                ") during firm.zpk: the device took "),
              std::string::npos)
        << cli.Errors();
    EXPECT_TRUE(device.WaitFor([](const VirtualDevice::Status& s) { return s.openConnections == 0; }, 5000))
        << "the pipe is closed";
    const auto status = device.GetStatus();
    EXPECT_EQ(status.imagesCompleted + status.imagesBroken, 1u);
    EXPECT_LT(status.payloadBytes, 2u * 1024 * 1024);
}

// The console program's hidden window that hears the session's end; null when it has none.
HWND SessionWindowOf(DWORD pid) {
    for (HWND window = nullptr;
         (window = ::FindWindowExA(nullptr, window, CLI_SESSION_WINDOW_CLASS, nullptr)) != nullptr;) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == pid)
            return window;
    }
    return nullptr;
}

TEST(Cli, ItsConsoleClosedOrTheSessionEndingDuringATransferStopsItAndLeavesTheWholeHistory) {
    const std::vector<std::pair<const char*, std::function<bool(DWORD pid)>>> ways = {
        {"console closed",
         [](DWORD pid) {
             const UniqueHandle closing(
                 ::OpenEventA(EVENT_MODIFY_STATE, FALSE, ConsoleClosingEventName(pid).c_str()));
             return closing.IsValid() && ::SetEvent(closing.Get());
         }},
        {"session ending",
         [](DWORD pid) {
             const HWND window = SessionWindowOf(pid);
             return window && ::PostMessageA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
         }},
    };
    for (const auto& [way, end] : ways) {
        SCOPED_TRACE(way);
        VirtualDevice device({"--rate", "40000"});
        CliProcess cli;
        HistoryFolder history(cli.Folder().Path());
        const RecordedCli recorded(cli, "1 128 255", false);
        const std::vector<BYTE> firm = MakeImage(400000);
        cli.Folder().Write("firm.zpk", firm);
        ASSERT_TRUE(cli.Start("", recorded.Program()));
        ASSERT_TRUE(
            device.WaitFor([](const VirtualDevice::Status& s) { return s.payloadBytes >= 4096; }, RUN_MS));
        ASSERT_TRUE(end(cli.Pid()));
        EXPECT_NE(cli.Finish(10000), -1) << "ended within the time Windows gives";

        ASSERT_TRUE(
            device.WaitFor([](const VirtualDevice::Status& s) { return s.openConnections == 0; }, 5000));
        const auto images = device.Images();
        ASSERT_EQ(images.size(), 1u);
        EXPECT_LT(images[0].payload.size(), 400000u - 1024) << "stopped before its end";
        const auto lines = history.Lines();
        ASSERT_EQ(lines.size(), 3u) << (lines.empty() ? "" : lines.back());
        EXPECT_TRUE(HistoryLineMatches(
            lines[1], "stage file=firm\\.zpk size=400000 sha256=" + Sha256Of(firm) +
                          " verified=none outcome=failed taken=" + std::to_string(images[0].payload.size())))
            << lines[1];
        EXPECT_TRUE(HistoryLineMatches(lines[2], R"(run-end outcome=interrupted duration-ms=\d+)"))
            << lines[2];
    }
}

TEST(Cli, ALowBatteryEndsWithEightBeforeTheDeviceIsTouchedAndARunGoesAtFullSpeed) {
    struct PowerCase {
        const char* name;
        const char* power; // AC FLAG PERCENT
        bool refuseTimerPolicy;
        const char* args;
        long exitCode;
        std::vector<std::string> calls;
    };
    const PowerCase cases[] = {
        {"low battery", "0 0 15", false, "", 8, {"power 0 0 15"}},
        {"low battery, allowed",
         "0 0 15",
         false,
         "--allow-battery",
         0,
         {"throttling 5", "awake", "awake-end", "throttling 0"}},
        {"desktop, Windows 10",
         "1 128 255",
         true,
         "",
         0,
         {"power 1 128 255", "throttling 1", "awake", "awake-end", "throttling 0"}},
    };
    for (const PowerCase& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualDevice device;
        CliProcess cli;
        const RecordedCli recorded(cli, c.power, c.refuseTimerPolicy);
        const std::vector<BYTE> firm = MakeImage(5000);
        cli.Folder().Write("firm.zpk", firm);
        ASSERT_TRUE(cli.Start(c.args, recorded.Program()));
        EXPECT_EQ(cli.Finish(RUN_MS), c.exitCode) << cli.Errors();
        EXPECT_EQ(recorded.Calls(), c.calls);
        if (c.exitCode == 8) {
            EXPECT_NE(cli.Errors().find("battery below 20%"), std::string::npos) << cli.Errors();
            const auto status = device.GetStatus();
            EXPECT_EQ(status.presenceChecks + status.pipe00Connections + status.pipe01Connections, 0u);
        } else {
            ASSERT_TRUE(device.WaitForImages(1, RUN_MS));
            EXPECT_EQ(device.Images().at(0).payload,
                      std::vector<std::uint8_t>(firm.begin() + 1024, firm.end()));
        }
    }
}

TEST(Cli, HelpNamesEveryExitCode) {
    CliProcess cli;
    ASSERT_EQ(RunCli(cli, "--help"), 0);
    for (const char* code : {"0  ", "1  ", "2  ", "3  ", "4  ", "5  ", "6  ", "7  ", "8  ", "9  "})
        EXPECT_NE(cli.Output().find(std::string("\n  ") + code), std::string::npos) << code;
}

} // namespace
