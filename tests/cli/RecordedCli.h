// The recorded console program in a test's run folder (tests/cli/CMakeLists.txt builds it).
#pragma once

#include "system/Paths.h"
#include "tests/support/CliProcess.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

// The recorded console program (NimbrelCliRecorded.exe, which reads the PC's power from power.txt beside it
// and records its power calls in system-calls.txt) as NimbrelCli.exe in the run's folder, with the link
// library beside it; removed again, with what it wrote, when the case ends. The system is held awake while
// the image is sent, inside the time the run is exempt from throttling.
class RecordedCli {
public:
    RecordedCli(CliProcess& cli, const std::string& power, bool refuseTimerPolicy)
        : m_folder(cli.Folder().Path()) {
        Copy("NimbrelCliRecorded.exe", "NimbrelCli.exe");
        Copy("TandryUSB.dll", "TandryUSB.dll");
        cli.Folder().Write("power.txt", power);
        if (refuseTimerPolicy) // as Windows 10 does
            cli.Folder().Write("throttling.txt", std::string("refuse"));
    }
    ~RecordedCli() {
        for (const char* name : {"NimbrelCli.exe", "TandryUSB.dll", "system-calls.txt"})
            ::DeleteFileA((m_folder + "\\" + name).c_str());
    }
    std::string Program() const { return m_folder + "\\NimbrelCli.exe"; }
    std::vector<std::string> Calls() const {
        std::vector<std::string> lines;
        std::ifstream in(m_folder + "\\system-calls.txt");
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

private:
    void Copy(const char* from, const char* to) const {
        EXPECT_TRUE(::CopyFileA((ProgramFolder() + from).c_str(), (m_folder + "\\" + to).c_str(), FALSE))
            << from;
    }
    std::string m_folder;
};
