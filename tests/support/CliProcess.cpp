#include "tests/support/CliProcess.h"

#include "system/Paths.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

#include <fstream>
#include <sstream>

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

CliProcess::CliProcess() : m_folder(std::make_unique<TempFolder>()) {}

CliProcess::~CliProcess() = default;

std::string CliProcess::Out() const {
    return m_folder->Path() + "\\stdout.txt";
}

std::string CliProcess::Err() const {
    return m_folder->Path() + "\\stderr.txt";
}

std::string CliProcess::DefaultProgram() {
    return ProgramFolder() + "NimbrelCli.exe";
}

bool CliProcess::Start(const std::string& args, const std::string& program, DWORD flags) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    UniqueHandle out(
        ::CreateFileA(Out().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
    UniqueHandle err(
        ::CreateFileA(Err().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out.Get();
    startup.hStdError = err.Get();
    PROCESS_INFORMATION info{};
    if (!CreateChildProcess(nullptr, "\"" + program + "\" " + args, TRUE, flags, m_folder->Path().c_str(),
                            startup, info))
        return false;
    ::CloseHandle(info.hThread);
    m_process.Reset(info.hProcess);
    m_pid = info.dwProcessId;
    return true;
}

long CliProcess::Finish(DWORD timeoutMs) {
    DWORD code = 0;
    if (::WaitForSingleObject(m_process.Get(), timeoutMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(m_process.Get(), 99);
        return -1;
    }
    ::GetExitCodeProcess(m_process.Get(), &code);
    return static_cast<long>(code);
}

void CliProcess::Kill() {
    ::TerminateProcess(m_process.Get(), 99);
    ::WaitForSingleObject(m_process.Get(), 10000);
}

bool CliProcess::Interrupt() {
    m_interruptedBy = "Ctrl+Break";
    if (::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, m_pid))
        return true;
    m_interruptedBy = "the stop event of another program";
    UniqueHandle stop(
        ::OpenEventA(EVENT_MODIFY_STATE, FALSE, ("Local\\NimbrelCli-Stop-" + std::to_string(m_pid)).c_str()));
    return stop.IsValid() && ::SetEvent(stop.Get());
}

bool CliProcess::WaitForOutput(const std::string& text, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (Output().find(text) != std::string::npos)
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        ::Sleep(20);
    }
}

std::string CliProcess::Output() const {
    return ReadAll(Out());
}

std::string CliProcess::Errors() const {
    return ReadAll(Err());
}
