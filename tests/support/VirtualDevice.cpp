#include "tests/support/VirtualDevice.h"

#include "system/Paths.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SupportFailure.h"

#include "tandryusb/DevicePaths.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::atomic<unsigned> g_deviceCounter{0};

const char LOCK_SCOPE_VARIABLE[] = "NIMBREL_RUN_LOCK_SCOPE";

// The variable's value now, and whether it was set at all.
bool SaveVariable(const char* name, std::string& value) {
    char buffer[1024];
    const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    const bool set = length > 0 && length < sizeof buffer;
    value = set ? std::string(buffer, length) : std::string();
    return set;
}

void RestoreVariable(const char* name, bool wasSet, const std::string& value) {
    SetEnvironmentVariableA(name, wasSet ? value.c_str() : nullptr);
}

std::string QuoteArg(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
        return arg;
    }
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path, bool& found) {
    std::ifstream in(path, std::ios::binary);
    found = static_cast<bool>(in);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The device writes its log in one fixed shape, so a field is found by its key.
bool JsonField(const std::string& line, const std::string& key, std::string& value) {
    const std::string marker = "\"" + key + "\":";
    const std::size_t at = line.find(marker);
    if (at == std::string::npos) {
        return false;
    }
    std::size_t begin = at + marker.size();
    if (begin < line.size() && line[begin] == '"') {
        const std::size_t end = line.find('"', begin + 1);
        value = line.substr(begin + 1, end - begin - 1);
        return true;
    }
    std::size_t end = begin;
    while (end < line.size() && line[end] != ',' && line[end] != '}') {
        ++end;
    }
    value = line.substr(begin, end - begin);
    return true;
}

unsigned long long JsonNumber(const std::string& line, const std::string& key) {
    std::string value;
    return JsonField(line, key, value) ? std::strtoull(value.c_str(), nullptr, 10) : 0;
}

// One counter of the "status" answer.
void ReadCounter(const std::string& reply, const char* name, bool& flag) {
    std::string text;
    flag = JsonField(reply, name, text) && text == "true";
}

template <typename Number> void ReadCounter(const std::string& reply, const char* name, Number& number) {
    number = static_cast<Number>(JsonNumber(reply, name));
}

std::vector<std::uint8_t> FromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    }
    return bytes;
}

void RemoveFlatFolder(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                DeleteFileA((folder + "\\" + entry.cFileName).c_str());
            }
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

} // namespace

std::string VirtualDevice::ExeDir() {
    return ProgramFolder();
}

VirtualDevice::VirtualDevice(const std::vector<std::string>& extraArgs) {
    const unsigned number = ++g_deviceCounter;
    const std::string tag = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(number);
    m_prefix = "\\\\.\\pipe\\OstrelSimTest-" + tag;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    m_outputDir = std::string(temp) + "ostrelsim-" + tag;
    // Process ids come round again in every test run: start from an empty folder, whatever an earlier run
    // left.
    std::error_code ignored;
    std::filesystem::remove_all(m_outputDir, ignored);
    CreateDirectoryA(m_outputDir.c_str(), nullptr);
    m_consolePath = m_outputDir + "\\console.txt";

    m_lockScope = "OstrelSimTest-" + tag;
    m_hadPreviousPrefix = SaveVariable(tandry::PREFIX_VARIABLE, m_previousPrefix);
    m_hadPreviousLockScope = SaveVariable(LOCK_SCOPE_VARIABLE, m_previousLockScope);
    PointEnvironmentHere();

    std::string commandLine = QuoteArg(ExeDir() + "OstrelSim.exe") + " --prefix " + QuoteArg(m_prefix) +
                              " --out " + QuoteArg(m_outputDir) + " --parent-pid " +
                              std::to_string(GetCurrentProcessId());
    for (const std::string& arg : extraArgs) {
        commandLine += " " + QuoteArg(arg);
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE console = CreateFileA(m_consolePath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = console;
    startup.hStdError = console;
    PROCESS_INFORMATION info{};
    const BOOL created =
        CreateChildProcess(nullptr, commandLine, TRUE, CREATE_NO_WINDOW, nullptr, startup, info);
    if (console != INVALID_HANDLE_VALUE) {
        CloseHandle(console);
    }
    if (!created) {
        ReportSupportFailure("cannot start " + commandLine + " (error " + std::to_string(GetLastError()) +
                             ")");
        return;
    }
    CloseHandle(info.hThread);
    m_process = info.hProcess;

    // Ready once the control pipe answers a command: the device opens that pipe before it plugs itself in,
    // and handles commands only after it, so a pipe that merely exists may still stand before a device
    // without its data pipes.
    const std::string control = tandry::DevicePath(m_prefix, tandry::CONTROL);
    const ULONGLONG deadline = GetTickCount64() + 20000;
    while (GetTickCount64() < deadline) {
        if (WaitForSingleObject(m_process, 0) == WAIT_OBJECT_0) {
            ReportSupportFailure("OstrelSim.exe ended at start: " + ConsoleOutput());
            CloseHandle(m_process);
            m_process = nullptr;
            return;
        }
        if (WaitNamedPipeA(control.c_str(), 50) && !Transact("status").empty()) {
            return;
        }
        Sleep(10);
    }
    ReportSupportFailure("OstrelSim.exe did not open its control pipe in time");
}

VirtualDevice::~VirtualDevice() {
    Quit();
    RestoreVariable(tandry::PREFIX_VARIABLE, m_hadPreviousPrefix, m_previousPrefix);
    RestoreVariable(LOCK_SCOPE_VARIABLE, m_hadPreviousLockScope, m_previousLockScope);
    if (GetEnvironmentVariableA("OSTRELSIM_KEEP_OUTPUT", nullptr, 0) == 0) {
        RemoveFlatFolder(m_outputDir);
    }
}

bool VirtualDevice::Running() const {
    return m_process != nullptr && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

DWORD VirtualDevice::ProcessId() const {
    return m_process != nullptr ? GetProcessId(m_process) : 0;
}

void VirtualDevice::PointEnvironmentHere() const {
    SetEnvironmentVariableA(tandry::PREFIX_VARIABLE, m_prefix.c_str());
    SetEnvironmentVariableA(LOCK_SCOPE_VARIABLE, m_lockScope.c_str());
}

std::string VirtualDevice::Command(const std::string& text) {
    // Every command may be repeated safely. Under Wine the very first connection to a fresh control pipe has
    // been seen to break (ERROR_PIPE_NOT_CONNECTED) before the device read it; a second attempt then goes
    // through.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::string reply = Transact(text);
        if (!reply.empty()) {
            return reply;
        }
        Sleep(20);
    }
    return "";
}

std::string VirtualDevice::Transact(const std::string& text) {
    if (!Running()) {
        return "";
    }
    const std::string control = tandry::DevicePath(m_prefix, tandry::CONTROL);
    HANDLE pipe = INVALID_HANDLE_VALUE;
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (pipe == INVALID_HANDLE_VALUE && GetTickCount64() < deadline) {
        pipe =
            CreateFileA(control.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE) {
            if (GetLastError() != ERROR_PIPE_BUSY) {
                return "";
            }
            WaitNamedPipeA(control.c_str(), 200);
        }
    }
    if (pipe == INVALID_HANDLE_VALUE) {
        return "";
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr);
    DWORD written = 0;
    std::string reply;
    if (WriteFile(pipe, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        char buffer[1024];
        for (;;) {
            DWORD got = 0;
            const BOOL ok = ReadFile(pipe, buffer, sizeof buffer, &got, nullptr);
            reply.append(buffer, got);
            if (ok || GetLastError() != ERROR_MORE_DATA) {
                break;
            }
        }
    }
    CloseHandle(pipe);
    return reply;
}

bool VirtualDevice::Plug() {
    return Command("plug").rfind("ok", 0) == 0;
}

bool VirtualDevice::Unplug() {
    return Command("unplug").rfind("ok", 0) == 0;
}

VirtualDevice::Status VirtualDevice::GetStatus() {
    const std::string reply = Command("status");
    Status status;
    ostrelsim::ForEachCounter(
        [&](const char* name, auto member) { ReadCounter(reply, name, status.*member); });
    return status;
}

bool VirtualDevice::Quit(DWORD waitMs) {
    if (m_process == nullptr) {
        return true;
    }
    Command("quit");
    bool ended = WaitForSingleObject(m_process, waitMs) == WAIT_OBJECT_0;
    if (!ended) {
        ReportSupportFailure("OstrelSim.exe did not quit in time; ending it");
        TerminateProcess(m_process, 1);
        WaitForSingleObject(m_process, 5000);
    }
    CloseHandle(m_process);
    m_process = nullptr;
    return ended;
}

bool VirtualDevice::WaitFor(const std::function<bool(const Status&)>& predicate, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (predicate(GetStatus())) {
            return true;
        }
        if (GetTickCount64() >= deadline || !Running()) {
            return false;
        }
        Sleep(10);
    }
}

bool VirtualDevice::WaitForImages(unsigned count, DWORD timeoutMs) {
    return WaitFor([count](const Status& s) { return s.imagesCompleted + s.imagesBroken >= count; },
                   timeoutMs);
}

std::vector<std::string> VirtualDevice::LogLines() const {
    std::vector<std::string> lines;
    std::ifstream in(m_outputDir + "\\log.jsonl");
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<VirtualDevice::Image> VirtualDevice::Images() const {
    std::vector<Image> result;
    const std::vector<std::string> lines = LogLines();
    for (unsigned index = 1;; ++index) {
        char name[32];
        std::snprintf(name, sizeof name, "\\image-%04u", index);
        const std::string base = m_outputDir + name;
        Image image;
        bool found = false;
        image.command = ReadWholeFile(base + "-command.bin", found);
        if (!found) {
            break;
        }
        image.payload = ReadWholeFile(base + "-payload.bin", found);
        std::ifstream sizes(base + "-writes.txt");
        std::uint32_t size = 0;
        while (sizes >> size) {
            image.writeSizes.push_back(size);
        }
        for (const std::string& line : lines) {
            if (line.find("\"event\":\"image\"") != std::string::npos && JsonNumber(line, "image") == index) {
                image.complete = line.find("\"complete\":true") != std::string::npos;
            }
        }
        result.push_back(std::move(image));
    }
    return result;
}

std::vector<VirtualDevice::Write> VirtualDevice::Writes() const {
    std::vector<Write> result;
    for (const std::string& line : LogLines()) {
        if (line.find("\"event\":\"write\"") == std::string::npos) {
            continue;
        }
        Write write;
        JsonField(line, "pipe", write.pipe);
        write.connection = static_cast<unsigned>(JsonNumber(line, "conn"));
        write.size = static_cast<std::uint32_t>(JsonNumber(line, "size"));
        std::string head;
        JsonField(line, "head", head);
        write.head = FromHex(head);
        result.push_back(std::move(write));
    }
    return result;
}

std::string VirtualDevice::ConsoleOutput() const {
    std::ifstream in(m_consolePath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
