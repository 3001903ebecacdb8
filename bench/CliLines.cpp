#include "bench/CliLines.h"

#include "system/Paths.h"
#include "tests/support/ChildProcess.h"

CliLines::~CliLines() {
    if (m_process.IsValid() && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT)
        ::TerminateProcess(m_process.Get(), 99);
    if (m_reader.joinable())
        m_reader.join();
}

std::int64_t CliLines::NowMs() {
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    return ((now.wHour * 60 + now.wMinute) * 60 + now.wSecond) * 1000LL + now.wMilliseconds;
}

bool CliLines::Start(const std::string& args, std::int64_t& startMs) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!::CreatePipe(&read, &write, &inherit, 0))
        return false;
    ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    UniqueHandle writeEnd(write);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    startup.hStdError = write;
    PROCESS_INFORMATION info{};
    startMs = NowMs();
    if (!CreateChildProcess(nullptr, "\"" + ProgramFolder() + "NimbrelCli.exe\" " + args, TRUE, 0, nullptr,
                            startup, info)) {
        ::CloseHandle(read);
        return false;
    }
    ::CloseHandle(info.hThread);
    m_process.Reset(info.hProcess);
    m_reader = std::thread(&CliLines::Read, this, read);
    return true;
}

void CliLines::Read(HANDLE out) {
    UniqueHandle pipe(out);
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(pipe.Get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        const std::int64_t ms = NowMs();
        pending.append(buffer, got);
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            std::string text = pending.substr(0, end);
            if (!text.empty() && text.back() == '\r')
                text.pop_back();
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.push_back({ms, text});
        }
    }
}

std::int64_t CliLines::WaitFor(const std::string& prefix, unsigned nth, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    do {
        unsigned seen = 0;
        for (const Line& line : Lines())
            if (line.text.rfind(prefix, 0) == 0 && ++seen == nth)
                return line.ms;
        ::Sleep(1);
    } while (::GetTickCount64() < deadline);
    return -1;
}

long CliLines::Finish(std::int64_t& endMs, DWORD timeoutMs) {
    if (::WaitForSingleObject(m_process.Get(), timeoutMs) != WAIT_OBJECT_0)
        return -1;
    endMs = NowMs();
    DWORD code = 0;
    ::GetExitCodeProcess(m_process.Get(), &code);
    if (m_reader.joinable())
        m_reader.join();
    return static_cast<long>(code);
}

std::vector<CliLines::Line> CliLines::Lines() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
}
