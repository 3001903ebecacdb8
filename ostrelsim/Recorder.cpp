#include "ostrelsim/Recorder.h"

#include <windows.h>

#include <algorithm>

namespace ostrelsim {
namespace {

std::string utcNow() {
    SYSTEMTIME t;
    GetSystemTime(&t);
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

bool makeFolders(const std::string& folder) {
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
    : recorder_(recorder), index_(index), connection_(connection) {
    commandFile_ = std::fopen((basePath + "-command.bin").c_str(), "wb");
    payloadFile_ = std::fopen((basePath + "-payload.bin").c_str(), "wb");
    writesFile_ = std::fopen((basePath + "-writes.txt").c_str(), "w");
}

ImageRecord::~ImageRecord() {
    finish(false);
}

std::size_t ImageRecord::addWrite(const std::uint8_t* data, std::size_t size) {
    ++writes_;
    if (writesFile_ != nullptr) {
        std::fprintf(writesFile_, "%zu\n", size);
    }
    wholeHash_.update(data, size);
    const std::size_t commandPart = std::min(size, COMMAND_SIZE - command_.size());
    command_.insert(command_.end(), data, data + commandPart);
    if (commandFile_ != nullptr && commandPart > 0) {
        std::fwrite(data, 1, commandPart, commandFile_);
    }
    const std::size_t payloadPart = size - commandPart;
    if (payloadPart > 0) {
        payloadHash_.update(data + commandPart, payloadPart);
        payloadBytes_ += payloadPart;
        if (payloadFile_ != nullptr) {
            std::fwrite(data + commandPart, 1, payloadPart, payloadFile_);
        }
    }
    return payloadPart;
}

void ImageRecord::finish(bool complete) {
    if (finished_) {
        return;
    }
    finished_ = true;
    for (std::FILE* file : {commandFile_, payloadFile_, writesFile_}) {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
    commandFile_ = payloadFile_ = writesFile_ = nullptr;
    const std::string sha = wholeHash_.finishHex();
    const std::string payloadSha = payloadHash_.finishHex();
    const std::uint64_t total = command_.size() + payloadBytes_;
    recorder_.log("\"event\":\"image\",\"image\":" + std::to_string(index_) + ",\"conn\":" +
                  std::to_string(connection_) + ",\"complete\":" + (complete ? "true" : "false") +
                  ",\"writes\":" + std::to_string(writes_) + ",\"command\":\"" +
                  Sha256::hex(command_.data(), command_.size()) + "\",\"payload_size\":" +
                  std::to_string(payloadBytes_) + ",\"total_size\":" + std::to_string(total) +
                  ",\"sha256\":\"" + sha + "\",\"payload_sha256\":\"" + payloadSha + "\"");
    recorder_.print("image " + std::to_string(index_) + ": " + (complete ? "complete" : "BROKEN") + ", " +
                    std::to_string(total) + " bytes (command " +
                    Sha256::hex(command_.data(), command_.size()) + ", payload " +
                    std::to_string(payloadBytes_) + ") in " + std::to_string(writes_) + " writes, sha256 " +
                    sha);
}

Recorder::~Recorder() {
    if (log_ != nullptr) {
        std::fclose(log_);
    }
}

bool Recorder::open(const std::string& folder, std::string& error) {
    if (!makeFolders(folder)) {
        error = "cannot create the output folder " + folder;
        return false;
    }
    folder_ = folder;
    if (folder_.back() != '\\' && folder_.back() != '/') {
        folder_ += '\\';
    }
    log_ = std::fopen((folder_ + "log.jsonl").c_str(), "w");
    if (log_ == nullptr) {
        error = "cannot write " + folder_ + "log.jsonl";
        return false;
    }
    startTick_ = GetTickCount64();
    return true;
}

void Recorder::log(const std::string& fields) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (log_ == nullptr) {
        return;
    }
    std::fprintf(log_, "{\"time\":\"%s\",\"t_ms\":%llu,%s}\n", utcNow().c_str(),
                 GetTickCount64() - startTick_, fields.c_str());
    std::fflush(log_);
}

void Recorder::print(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::unique_ptr<ImageRecord> Recorder::beginImage(unsigned index, unsigned connection) {
    char name[32];
    std::snprintf(name, sizeof name, "image-%04u", index);
    return std::make_unique<ImageRecord>(*this, index, connection, folder_ + name);
}

std::string Recorder::quote(const std::string& text) {
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
