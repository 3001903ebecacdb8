#include "ostrelsim/Recorder.h"

#include <windows.h>

#include <algorithm>

namespace ostrelsim {
namespace {

std::string UtcNow() {
    SYSTEMTIME t;
    GetSystemTime(&t);
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

bool MakeFolders(const std::string& folder) {
    std::string path;
    for (std::size_t i = 0; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == '\\' || folder[i] == '/') {
            if (!path.empty() && path.back() != ':') {
                CreateDirectoryA(path.c_str(), nullptr);
            }
        }
        if (i < folder.size()) {
            path += folder[i];
        }
    }
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

ImageRecord::ImageRecord(Recorder& recorder, unsigned index, unsigned connection, const std::string& basePath)
    : m_recorder(recorder), m_index(index), m_connection(connection) {
    m_commandFile = std::fopen((basePath + "-command.bin").c_str(), "wb");
    m_payloadFile = std::fopen((basePath + "-payload.bin").c_str(), "wb");
    m_writesFile = std::fopen((basePath + "-writes.txt").c_str(), "w");
}

ImageRecord::~ImageRecord() {
    Finish(false);
}

std::size_t ImageRecord::AddWrite(const std::uint8_t* data, std::size_t size) {
    ++m_writes;
    if (m_writesFile != nullptr) {
        std::fprintf(m_writesFile, "%zu\n", size);
    }
    m_wholeHash.Update(data, size);
    const std::size_t commandPart = std::min(size, COMMAND_SIZE - m_command.size());
    m_command.insert(m_command.end(), data, data + commandPart);
    if (m_commandFile != nullptr && commandPart > 0) {
        std::fwrite(data, 1, commandPart, m_commandFile);
    }
    const std::size_t payloadPart = size - commandPart;
    if (payloadPart > 0) {
        m_payloadHash.Update(data + commandPart, payloadPart);
        m_payloadBytes += payloadPart;
        if (m_payloadFile != nullptr) {
            std::fwrite(data + commandPart, 1, payloadPart, m_payloadFile);
        }
    }
    return payloadPart;
}

void ImageRecord::Finish(bool complete) {
    if (m_finished) {
        return;
    }
    m_finished = true;
    for (std::FILE* file : {m_commandFile, m_payloadFile, m_writesFile}) {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
    m_commandFile = m_payloadFile = m_writesFile = nullptr;
    const std::string sha = m_wholeHash.FinishHex();
    const std::string payloadSha = m_payloadHash.FinishHex();
    const std::uint64_t total = m_command.size() + m_payloadBytes;
    m_recorder.Log("\"event\":\"image\",\"image\":" + std::to_string(m_index) + ",\"conn\":" +
                   std::to_string(m_connection) + ",\"complete\":" + (complete ? "true" : "false") +
                   ",\"writes\":" + std::to_string(m_writes) + ",\"command\":\"" +
                   Sha256::Hex(m_command.data(), m_command.size()) + "\",\"payload_size\":" +
                   std::to_string(m_payloadBytes) + ",\"total_size\":" + std::to_string(total) +
                   ",\"sha256\":\"" + sha + "\",\"payload_sha256\":\"" + payloadSha + "\"");
    m_recorder.Print("image " + std::to_string(m_index) + ": " + (complete ? "complete" : "BROKEN") + ", " +
                     std::to_string(total) + " bytes (command " +
                     Sha256::Hex(m_command.data(), m_command.size()) + ", payload " +
                     std::to_string(m_payloadBytes) + ") in " + std::to_string(m_writes) +
                     " writes, sha256 " + sha);
}

Recorder::~Recorder() {
    if (m_log != nullptr) {
        std::fclose(m_log);
    }
}

bool Recorder::Open(const std::string& folder, std::string& error) {
    if (!MakeFolders(folder)) {
        error = "cannot create the output folder " + folder;
        return false;
    }
    m_folder = folder;
    if (m_folder.back() != '\\' && m_folder.back() != '/') {
        m_folder += '\\';
    }
    m_log = std::fopen((m_folder + "log.jsonl").c_str(), "w");
    if (m_log == nullptr) {
        error = "cannot write " + m_folder + "log.jsonl";
        return false;
    }
    m_startTick = GetTickCount64();
    return true;
}

void Recorder::Log(const std::string& fields) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_log == nullptr) {
        return;
    }
    std::fprintf(m_log, "{\"time\":\"%s\",\"t_ms\":%llu,%s}\n", UtcNow().c_str(),
                 GetTickCount64() - m_startTick, fields.c_str());
    std::fflush(m_log);
}

void Recorder::Print(const std::string& line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::unique_ptr<ImageRecord> Recorder::BeginImage(unsigned index, unsigned connection) {
    char name[32];
    std::snprintf(name, sizeof name, "image-%04u", index);
    return std::make_unique<ImageRecord>(*this, index, connection, m_folder + name);
}

std::string Recorder::Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

} // namespace ostrelsim
