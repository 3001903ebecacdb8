// The real NimbrelCli.exe against the virtual device: what reaches the device, what the console shows, and
// every exit code.
#include "framework/Paths.h"
#include "framework/UniqueHandle.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualDevice.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr DWORD RUN_MS = 60000;

// The stage order of an update run: file 2 goes before file 1.
const char* const STAGE_FILES[] = {"firm.zpk", "sf_pcmimgcdb2.zpk", "sf_pcmimgcdb1.zpk", "sf_pcmimgcdb3.zpk"};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// One run of NimbrelCli.exe, its output in files of a folder of its own.
class CliProcess {
public:
    // `program`: another copy of the program (a folder without the link library); default the build's.
    bool Start(const std::string& args, const std::string& program = ProgramFolder() + "NimbrelCli.exe",
               DWORD flags = 0) {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        UniqueHandle out(::CreateFileA(Out().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                       0, nullptr));
        UniqueHandle err(::CreateFileA(Err().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                       0, nullptr));
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out.Get();
        startup.hStdError = err.Get();
        PROCESS_INFORMATION info{};
        if (!CreateChildProcess(nullptr, "\"" + program + "\" " + args, TRUE, flags, m_folder.Path().c_str(),
                                startup, info))
            return false;
        ::CloseHandle(info.hThread);
        m_process.Reset(info.hProcess);
        m_pid = info.dwProcessId;
        return true;
    }

    // The exit code, or -1 when the program did not end in time (it is ended then).
    long Finish(DWORD timeoutMs = RUN_MS) {
        DWORD code = 0;
        if (::WaitForSingleObject(m_process.Get(), timeoutMs) != WAIT_OBJECT_0) {
            ::TerminateProcess(m_process.Get(), 99);
            return -1;
        }
        ::GetExitCodeProcess(m_process.Get(), &code);
        return static_cast<long>(code);
    }

    std::string Output() const { return ReadAll(Out()); }
    std::string Errors() const { return ReadAll(Err()); }
    DWORD Pid() const { return m_pid; }
    TempFolder& Folder() { return m_folder; }

private:
    std::string Out() const { return m_folder.Path() + "\\stdout.txt"; }
    std::string Err() const { return m_folder.Path() + "\\stderr.txt"; }

    TempFolder m_folder; // the current directory of the run
    UniqueHandle m_process;
    DWORD m_pid = 0;
};

// Runs the program to its end with `args` and images already in `images` (its --dir).
long RunCli(CliProcess& cli, const std::string& args) {
    EXPECT_TRUE(cli.Start(args));
    return cli.Finish();
}

TEST(Cli, SendsEveryImageInStageOrderByteForByteAndLogsPlainSteps) {
    VirtualDevice device;
    ASSERT_TRUE(device.running());
    TempFolder images;
    std::vector<std::vector<BYTE>> sent;
    for (std::size_t i = 0; i < 4; ++i) {
        std::vector<BYTE> image = MakeImage(30000 + 7000 * i);
        image[2] = static_cast<BYTE>('a' + i); // every command differs
        images.Write(STAGE_FILES[i], image);
        sent.push_back(image);
    }
    CliProcess cli;
    ASSERT_EQ(RunCli(cli, "--dir \"" + images.Path() + "\""), 0) << cli.Errors();

    ASSERT_TRUE(device.waitForImages(4, 10000));
    const auto got = device.images();
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
}

TEST(Cli, SkipsAbsentAndUnmarkedImagesAndWaitsForADevicePluggedInLate) {
    VirtualDevice device({"--absent", "--plug-after-ms", "2500"});
    ASSERT_TRUE(device.running());
    CliProcess cli;
    cli.Folder().Write("lang.ini", "[message]\r\n1034=Zweiter Satz\r\n");
    cli.Folder().Write(STAGE_FILES[1], MakeImage(2000, 0x25, 0x00));
    const std::vector<BYTE> last = MakeImage(5000);
    cli.Folder().Write(STAGE_FILES[3], last);
    ASSERT_EQ(RunCli(cli, "--wait 20 --lang lang.ini"), 0) << cli.Errors();
    const std::string out = cli.Output();
    EXPECT_NE(out.find("Waiting up to 20 s for the device..."), std::string::npos) << out;
    EXPECT_NE(out.find("[1/4] firm.zpk: not present, skipped"), std::string::npos) << out;
    EXPECT_NE(out.find("[2/4] sf_pcmimgcdb2.zpk: Zweiter Satz not marked for sending, skipped"),
              std::string::npos);
    EXPECT_NE(out.find("[4/4] sf_pcmimgcdb3.zpk: Updating data set 3"), std::string::npos)
        << "built-in English";
    EXPECT_NE(out.find("Update finished: 1 image sent."), std::string::npos);
    ASSERT_TRUE(device.waitForImages(1, 10000));
    EXPECT_EQ(device.images()[0].payload, std::vector<std::uint8_t>(last.begin() + 1024, last.end()));
}

struct ExitCase {
    const char* name;
    std::vector<std::string> deviceArgs;
    std::vector<std::pair<const char*, std::vector<BYTE>>> files;
    const char* cliArgs;
    long exitCode;
    const char* error; // a part of what standard error says
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
    };
    for (const ExitCase& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualDevice device(c.deviceArgs);
        CliProcess cli;
        for (const auto& file : c.files)
            cli.Folder().Write(file.first, file.second);
        EXPECT_EQ(RunCli(cli, c.cliArgs), c.exitCode) << cli.Output() << cli.Errors();
        EXPECT_NE(cli.Errors().find(c.error), std::string::npos) << cli.Errors();
        if (c.exitCode == 4) {
            // The images before the rejected one may still be in the pipe when the program ends.
            const unsigned before = static_cast<unsigned>(c.files.size() - 1);
            EXPECT_TRUE(device.waitForImages(before, 10000));
            EXPECT_EQ(device.status().imagesStarted, before) << "images before the rejected one";
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
    EXPECT_EQ(device.status().pipe00Connections, 0u);
}

// Stops the program as Ctrl+C does. Ctrl+Break, aimed at the program's own process group, takes the console's
// way; Wine delivers no console control event to a program started without a terminal
// (GenerateConsoleCtrlEvent fails), so there the program's stop event, which raises the same flag, stands in.
void Interrupt(DWORD pid) {
    if (::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, pid))
        return;
    UniqueHandle stop(
        ::OpenEventA(EVENT_MODIFY_STATE, FALSE, ("Local\\NimbrelCli-Stop-" + std::to_string(pid)).c_str()));
    ASSERT_TRUE(stop.IsValid()) << "error " << ::GetLastError();
    ::SetEvent(stop.Get());
}

TEST(Cli, CtrlCDuringATransferCancelsItClosesThePipeAndEndsWithFive) {
    VirtualDevice device({"--rate", "200000"});
    CliProcess cli;
    cli.Folder().Write("firm.zpk", MakeImage(1024 + 2 * 1024 * 1024));
    ASSERT_TRUE(
        cli.Start("", ProgramFolder() + "NimbrelCli.exe", CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP));
    ASSERT_TRUE(
        device.waitFor([](const VirtualDevice::Status& s) { return s.payloadBytes > 100000; }, 20000));
    Interrupt(cli.Pid());
    EXPECT_EQ(cli.Finish(10000), 5);
    EXPECT_NE(cli.Errors().find("update interrupted (Ctrl+C) during firm.zpk: the device took "),
              std::string::npos)
        << cli.Errors();
    EXPECT_TRUE(device.waitFor([](const VirtualDevice::Status& s) { return s.openConnections == 0; }, 5000))
        << "the pipe is closed";
    const auto status = device.status();
    EXPECT_EQ(status.imagesCompleted + status.imagesBroken, 1u);
    EXPECT_LT(status.payloadBytes, 2u * 1024 * 1024);
}

TEST(Cli, HelpNamesEveryExitCode) {
    CliProcess cli;
    ASSERT_EQ(RunCli(cli, "--help"), 0);
    for (const char* code : {"0  ", "1  ", "2  ", "3  ", "4  ", "5  ", "6  "})
        EXPECT_NE(cli.Output().find(std::string("\n  ") + code), std::string::npos) << code;
}

} // namespace
