// One run of the real NimbrelCli.exe for a test, in a folder of its own that is its current directory, with
// its standard output and standard error in files there.
#pragma once

#include "system/UniqueHandle.h"

#include <windows.h>

#include <memory>
#include <string>

class TempFolder; // tests/support/TempFolder.h; not included here, its MakeImage would meet the window tests'

class CliProcess {
public:
    CliProcess();
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // `program`: another copy of the program (a folder without the link library); default the build's.
    bool Start(const std::string& args, const std::string& program = DefaultProgram(), DWORD flags = 0);
    // The exit code, or -1 when the program did not end in time (it is ended then).
    long Finish(DWORD timeoutMs = 60000);
    // Ends the program at once, as a crash or the task manager would, and waits for its end.
    void Kill();
    // Stops the program as Ctrl+C does; false when neither way reached it. Ctrl+Break, aimed at the program's
    // own process group (started with CREATE_NEW_PROCESS_GROUP), takes the console's way; Wine delivers no
    // console control event to a program started without a terminal, so there its stop event stands in.
    bool Interrupt();
    // How the last Interrupt reached the program, in the program's words: "Ctrl+Break" or "the stop event of
    // another program".
    const std::string& InterruptedBy() const { return m_interruptedBy; }
    // Waits until standard output holds `text`.
    bool WaitForOutput(const std::string& text, DWORD timeoutMs);

    std::string Output() const;
    std::string Errors() const;
    DWORD Pid() const { return m_pid; }
    TempFolder& Folder() { return *m_folder; }

    static std::string DefaultProgram(); // NimbrelCli.exe beside the test program

private:
    std::string Out() const;
    std::string Err() const;

    std::unique_ptr<TempFolder> m_folder; // the current directory of the run
    UniqueHandle m_process;
    DWORD m_pid = 0;
    std::string m_interruptedBy;
};
