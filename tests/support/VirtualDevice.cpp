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
bool saveVariable(const char* name, std::string& value) {
    char buffer[1024];
    const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    const bool set = length > 0 && length < sizeof buffer;
    value = set ? std::string(buffer, length) : std::string();
    return set;
}

void restoreVariable(const char* name, bool wasSet, const std::string& value) {
    SetEnvironmentVariableA(name, wasSet ? value.c_str() : nullptr);
}

std::string quoteArg(const std::string& arg) {
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

std::vector<std::uint8_t> readFile(const std::string& path, bool& found) {
    std::ifstream in(path, std::ios::binary);
    found = static_cast<bool>(in);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The device writes its log in one fixed shape, so a field is found by its key.
bool jsonField(const std::string& line, const std::string& key, std::string& value) {
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

unsigned long long jsonNumber(const std::string& line, const std::string& key) {
    std::string value;
    return jsonField(line, key, value) ? std::strtoull(value.c_str(), nullptr, 10) : 0;
}

std::vector<std::uint8_t> fromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    }
    return bytes;
}

void removeFlatFolder(const std::string& folder) {
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

std::string VirtualDevice::exeDir() {
    return ProgramFolder();
}

VirtualDevice::VirtualDevice(const std::vector<std::string>& extraArgs) {
    const unsigned number = ++g_deviceCounter;
    const std::string tag = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(number);
    prefix_ = "\\\\.\\pipe\\OstrelSimTest-" + tag;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    outputDir_ = std::string(temp) + "ostrelsim-" + tag;
    // Process ids come round again in every test run: start from an empty folder, whatever an earlier run
    // left.
    std::error_code ignored;
    std::filesystem::remove_all(outputDir_, ignored);
    CreateDirectoryA(outputDir_.c_str(), nullptr);
    consolePath_ = outputDir_ + "\\console.txt";

    m_lockScope = "OstrelSimTest-" + tag;
    hadPreviousPrefix_ = saveVariable(tandry::PREFIX_VARIABLE, previousPrefix_);
    m_hadPreviousLockScope = saveVariable(LOCK_SCOPE_VARIABLE, m_previousLockScope);
    pointEnvironmentHere();

    std::string commandLine = quoteArg(exeDir() + "OstrelSim.exe") + " --prefix " + quoteArg(prefix_) +
                              " --out " + quoteArg(outputDir_) + " --parent-pid " +
                              std::to_string(GetCurrentProcessId());
    for (const std::string& arg : extraArgs) {
        commandLine += " " + quoteArg(arg);
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE console = CreateFileA(consolePath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
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
    process_ = info.hProcess;

    // Ready once the control pipe answers a command: the device opens that pipe before it plugs itself in, and
    // handles commands only after it, so a pipe that merely exists may still stand before a device without its
    // data pipes.
    const std::string control = tandry::devicePath(prefix_, tandry::CONTROL);
    const ULONGLONG deadline = GetTickCount64() + 20000;
    while (GetTickCount64() < deadline) {
        if (WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) {
            ReportSupportFailure("OstrelSim.exe ended at start: " + consoleOutput());
            CloseHandle(process_);
            process_ = nullptr;
            return;
        }
        if (WaitNamedPipeA(control.c_str(), 50) && !transact("status").empty()) {
            return;
        }
        Sleep(10);
    }
    ReportSupportFailure("OstrelSim.exe did not open its control pipe in time");
}

VirtualDevice::~VirtualDevice() {
    quit();
    restoreVariable(tandry::PREFIX_VARIABLE, hadPreviousPrefix_, previousPrefix_);
    restoreVariable(LOCK_SCOPE_VARIABLE, m_hadPreviousLockScope, m_previousLockScope);
    if (GetEnvironmentVariableA("OSTRELSIM_KEEP_OUTPUT", nullptr, 0) == 0) {
        removeFlatFolder(outputDir_);
    }
}

bool VirtualDevice::running() const {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

DWORD VirtualDevice::processId() const {
    return process_ != nullptr ? GetProcessId(process_) : 0;
}

void VirtualDevice::pointEnvironmentHere() const {
    SetEnvironmentVariableA(tandry::PREFIX_VARIABLE, prefix_.c_str());
    SetEnvironmentVariableA(LOCK_SCOPE_VARIABLE, m_lockScope.c_str());
}

std::string VirtualDevice::command(const std::string& text) {
    // Every command may be repeated safely. Under Wine the very first connection to a fresh control pipe has
    // been seen to break (ERROR_PIPE_NOT_CONNECTED) before the device read it; a second attempt then goes
    // through.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::string reply = transact(text);
        if (!reply.empty()) {
            return reply;
        }
        Sleep(20);
    }
    return "";
}

std::string VirtualDevice::transact(const std::string& text) {
    if (!running()) {
        return "";
    }
    const std::string control = tandry::devicePath(prefix_, tandry::CONTROL);
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

bool VirtualDevice::plug() {
    return command("plug").rfind("ok", 0) == 0;
}

bool VirtualDevice::unplug() {
    return command("unplug").rfind("ok", 0) == 0;
}

VirtualDevice::Status VirtualDevice::status() {
    const std::string reply = command("status");
    Status s;
    std::string plugged;
    s.plugged = jsonField(reply, "plugged", plugged) && plugged == "true";
    s.presenceChecks = static_cast<unsigned>(jsonNumber(reply, "presence_checks"));
    s.pipe00Connections = static_cast<unsigned>(jsonNumber(reply, "pipe00_connections"));
    s.pipe01Connections = static_cast<unsigned>(jsonNumber(reply, "pipe01_connections"));
    s.openConnections = static_cast<unsigned>(jsonNumber(reply, "open_connections"));
    s.writes = static_cast<unsigned>(jsonNumber(reply, "writes"));
    s.identityRequests = static_cast<unsigned>(jsonNumber(reply, "identity_requests"));
    s.repliesSent = static_cast<unsigned>(jsonNumber(reply, "replies_sent"));
    s.imagesStarted = static_cast<unsigned>(jsonNumber(reply, "images_started"));
    s.imagesCompleted = static_cast<unsigned>(jsonNumber(reply, "images_completed"));
    s.imagesBroken = static_cast<unsigned>(jsonNumber(reply, "images_broken"));
    s.payloadBytes = jsonNumber(reply, "payload_bytes");
    s.plugs = static_cast<unsigned>(jsonNumber(reply, "plugs"));
    s.unplugs = static_cast<unsigned>(jsonNumber(reply, "unplugs"));
    return s;
}

bool VirtualDevice::quit(DWORD waitMs) {
    if (process_ == nullptr) {
        return true;
    }
    command("quit");
    bool ended = WaitForSingleObject(process_, waitMs) == WAIT_OBJECT_0;
    if (!ended) {
        ReportSupportFailure("OstrelSim.exe did not quit in time; ending it");
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
    process_ = nullptr;
    return ended;
}

bool VirtualDevice::waitFor(const std::function<bool(const Status&)>& predicate, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (predicate(status())) {
            return true;
        }
        if (GetTickCount64() >= deadline || !running()) {
            return false;
        }
        Sleep(10);
    }
}

bool VirtualDevice::waitForImages(unsigned count, DWORD timeoutMs) {
    return waitFor([count](const Status& s) { return s.imagesCompleted + s.imagesBroken >= count; },
                   timeoutMs);
}

std::vector<std::string> VirtualDevice::logLines() const {
    std::vector<std::string> lines;
    std::ifstream in(outputDir_ + "\\log.jsonl");
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<VirtualDevice::Image> VirtualDevice::images() const {
    std::vector<Image> result;
    const std::vector<std::string> lines = logLines();
    for (unsigned index = 1;; ++index) {
        char name[32];
        std::snprintf(name, sizeof name, "\\image-%04u", index);
        const std::string base = outputDir_ + name;
        Image image;
        bool found = false;
        image.command = readFile(base + "-command.bin", found);
        if (!found) {
            break;
        }
        image.payload = readFile(base + "-payload.bin", found);
        std::ifstream sizes(base + "-writes.txt");
        std::uint32_t size = 0;
        while (sizes >> size) {
            image.writeSizes.push_back(size);
        }
        for (const std::string& line : lines) {
            if (line.find("\"event\":\"image\"") != std::string::npos && jsonNumber(line, "image") == index) {
                image.complete = line.find("\"complete\":true") != std::string::npos;
            }
        }
        result.push_back(std::move(image));
    }
    return result;
}

std::vector<VirtualDevice::Write> VirtualDevice::writes() const {
    std::vector<Write> result;
    for (const std::string& line : logLines()) {
        if (line.find("\"event\":\"write\"") == std::string::npos) {
            continue;
        }
        Write write;
        jsonField(line, "pipe", write.pipe);
        write.connection = static_cast<unsigned>(jsonNumber(line, "conn"));
        write.size = static_cast<std::uint32_t>(jsonNumber(line, "size"));
        std::string head;
        jsonField(line, "head", head);
        write.head = fromHex(head);
        result.push_back(std::move(write));
    }
    return result;
}

std::string VirtualDevice::consoleOutput() const {
    std::ifstream in(consolePath_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
