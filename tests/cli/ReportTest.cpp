// NimbrelCli --report: the support report, made without sending anything and without touching an update in
// progress, names what support needs in each situation.
#include "system/Paths.h"
#include "system/UniqueHandle.h"
#include "tests/cli/RunLockHolder.h"
#include "tests/support/CliProcess.h"
#include "tests/support/HistoryFolder.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualDevice.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD RUN_MS = 60000;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct ReportCase {
    const char* name;
    std::vector<std::string> deviceArgs;
    bool lockHeld;
    bool withoutLinkLibrary; // a copy of the program in a folder without TandryUSB.dll
    const char* lang;        // the text table's contents; null: the shipped one
    std::vector<const char*> says;
    unsigned identityRequests;  // the device's, after the report
    const char* sums = nullptr; // the folder's SHA256SUMS; null: none
    bool firmInUse = false;     // another program has firm.zpk open to write and delete it, sharing all
};

TEST(CliReport, NamesWhatSupportNeedsAndSendsNothing) {
    const ReportCase cases[] = {
        {"device present",
         {},
         false,
         false,
         nullptr,
         {"  device:               present\r\n", "  identity probe:       answers as an Ostrel\r\n",
          "  entries it lacks:     none\r\n", "  update lock:          free\r\n",
          "  open_file:            present\r\n",
          ". The identity probe was made (the device was asked for its identity); no image was sent to "
          "it.\r\n"},
         1},
        {"no device",
         {"--absent"},
         false,
         false,
         nullptr,
         {"  device:               not present\r\n", "  identity probe:       not made: no device\r\n",
          ". Nothing was sent to the device: no identity probe (no device).\r\n"},
         0},
        {"a folder its list refuses, an image open in another program",
         {"--absent"},
         false,
         false,
         nullptr,
         {"  contents:             NOT verified: firm.zpk is not in SHA256SUMS\r\n",
          "  an update:            would be refused: firm.zpk is not in SHA256SUMS\r\n"},
         0,
         "0000000000000000000000000000000000000000000000000000000000000000  sf_pcmimgcdb1.zpk\n",
         true},
        {"lock held by another update",
         {},
         true,
         false,
         nullptr,
         {"  update lock:          HELD by another update",
          "  identity probe:       not made: another update holds the device\r\n",
          ". Nothing was sent to the device: no identity probe (another update holds the device).\r\n"},
         0},
        {"link library missing",
         {},
         false,
         true,
         nullptr,
         {"  TandryUSB.dll:        not loaded: error 126",
          "  device:               cannot be looked for: the link library is missing\r\n"},
         0},
        {"text table lacking entries",
         {"--absent"},
         false,
         false,
         "[message]\r\n1027=Firmware\r\n",
         {"  encoding:             ASCII\r\n",
          "  entries it lacks:     [title] 100, [control] 1001, [control] 1002, [message] 1021,"},
         0},
    };
    for (const ReportCase& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualDevice device(c.deviceArgs);
        CliProcess cli;
        HistoryFolder history(cli.Folder().Path());
        // Twelve runs in the history: the report holds the last ten, whole.
        std::string lines;
        for (int run = 1; run <= 12; ++run)
            lines += "2026-12-08 05:12:33 run=r" + std::to_string(run) +
                     " run-start program=NimbrelCli.exe\r\n" + "2026-12-08 05:12:34 run=r" +
                     std::to_string(run) + " run-end outcome=completed\r\n";
        cli.Folder().Write("history.log", lines);
        cli.Folder().Write("firm.zpk", MakeImage(3000));
        if (c.sums)
            cli.Folder().Write("SHA256SUMS", std::string(c.sums));
        // As an unpacker or an editor holds it: the report must read it without keeping it from them.
        UniqueHandle inUse;
        if (c.firmInUse)
            inUse.Reset(::CreateFileA(
                (cli.Folder().Path() + "\\firm.zpk").c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_EQ(inUse.IsValid(), c.firmInUse);
        std::unique_ptr<RunLockHolder> other;
        if (c.lockHeld)
            other = std::make_unique<RunLockHolder>(device);
        std::string program = CliProcess::DefaultProgram();
        if (c.withoutLinkLibrary) {
            program = cli.Folder().Path() + "\\NimbrelCli.exe";
            ASSERT_TRUE(::CopyFileA(CliProcess::DefaultProgram().c_str(), program.c_str(), FALSE));
        }
        std::string args = "--report report.txt";
        if (c.lang) {
            cli.Folder().Write("table.ini", std::string(c.lang));
            args += " --lang table.ini";
        }
        ASSERT_TRUE(cli.Start(args, program));
        EXPECT_EQ(cli.Finish(RUN_MS), 0) << cli.Errors();
        if (c.withoutLinkLibrary)
            ::DeleteFileA(program.c_str());
        const std::string path = cli.Folder().Path() + "\\report.txt";
        EXPECT_EQ(cli.Output(), path + "\r\n") << "the program prints the report's path";
        const std::string report = ReadFile(path);
        ::DeleteFileA(path.c_str());
        for (const char* said : c.says)
            EXPECT_NE(report.find(said), std::string::npos) << said << "\n" << report;
        for (const char* part :
             {"NimbrelCli.exe:       version 1.0.0.1 (made this report)",
              sizeof(void*) == 8 ? "  this program:         64-bit" : "  this program:         32-bit",
              "  1 firm.zpk:           to-send, 3000 bytes, SHA-256 ", ", would be verified: none\r\n",
              "  2 sf_pcmimgcdb2.zpk:  absent\r\n", "  mains:                online\r\n"})
            EXPECT_NE(report.find(part), std::string::npos) << part << "\n" << report;
        EXPECT_EQ(report.find("run=r2 "), std::string::npos) << "only the last ten runs";
        EXPECT_NE(report.find("  2026-12-08 05:12:33 run=r3 run-start program=NimbrelCli.exe\r\n"),
                  std::string::npos);
        EXPECT_NE(report.find("  2026-12-08 05:12:34 run=r12 run-end outcome=completed\r\n"),
                  std::string::npos);
        const auto status = device.GetStatus();
        EXPECT_EQ(status.identityRequests, c.identityRequests);
        EXPECT_EQ(status.imagesStarted, 0u);
    }
}

TEST(CliReport, ALockThatADeadProgramLeftIsLeftSoForTheNextUpdate) {
    VirtualDevice device;
    CliProcess cli;
    HistoryFolder history(cli.Folder().Path());
    cli.Folder().Write("firm.zpk", MakeImage(3000));
    // A holder that ends without letting go, as a killed program does.
    std::thread([&device] { ::CreateMutexA(nullptr, TRUE, device.RunLockName().c_str()); }).join();
    ASSERT_TRUE(cli.Start("--report report.txt"));
    ASSERT_EQ(cli.Finish(RUN_MS), 0) << cli.Errors();
    const std::string report = ReadFile(cli.Folder().Path() + "\\report.txt");
    ::DeleteFileA((cli.Folder().Path() + "\\report.txt").c_str());
    EXPECT_NE(report.find(
                  "  update lock:          free; the program that held it last ended without letting it go"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("  identity probe:       answers as an Ostrel"), std::string::npos) << report;

    CliProcess update;
    ASSERT_TRUE(update.Start("--dir \"" + cli.Folder().Path() + "\""));
    ASSERT_EQ(update.Finish(RUN_MS), 0) << update.Errors();
    const auto lines = history.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.front().find(" lock=abandoned"), std::string::npos) << lines.front();
}

} // namespace
