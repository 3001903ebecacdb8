// Everything the device keeps: a JSON-lines log of connections and writes, each image's bytes in the output
// folder, and one summary line per image on standard output.
#pragma once

#include "system/Sha256.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ostrelsim {

class Recorder;

// One image as it arrives on a PIPE00 connection: the first 20 bytes are its command, the rest its payload.
class ImageRecord {
public:
    static constexpr std::size_t COMMAND_SIZE = 20;

    ImageRecord(Recorder& recorder, unsigned index, unsigned connection, const std::string& basePath);
    ~ImageRecord();
    ImageRecord(const ImageRecord&) = delete;
    ImageRecord& operator=(const ImageRecord&) = delete;

    // One host write; returns how many of its bytes were payload.
    std::size_t addWrite(const std::uint8_t* data, std::size_t size);
    // Closes the files, logs the image and prints its summary. Later calls do nothing.
    void finish(bool complete);

    unsigned index() const { return index_; }
    std::uint64_t payloadBytes() const { return payloadBytes_; }

private:
    Recorder& recorder_;
    unsigned index_;
    unsigned connection_;
    std::FILE* commandFile_ = nullptr;
    std::FILE* payloadFile_ = nullptr;
    std::FILE* writesFile_ = nullptr;
    std::vector<std::uint8_t> command_;
    std::uint64_t payloadBytes_ = 0;
    unsigned writes_ = 0;
    Sha256 wholeHash_;
    Sha256 payloadHash_;
    bool finished_ = false;
};

class Recorder {
public:
    Recorder() = default;
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Creates the folder (and its parents) and starts log.jsonl afresh.
    bool open(const std::string& folder, std::string& error);

    // Appends {"time":...,"t_ms":...,<fields>} to the log. `fields` is already JSON: "\"event\":\"plug\"".
    void log(const std::string& fields);
    void print(const std::string& line); // one line on standard output
    std::unique_ptr<ImageRecord> beginImage(unsigned index, unsigned connection);

    static std::string quote(const std::string& text); // a JSON string literal

private:
    std::mutex mutex_;
    std::string folder_;
    std::FILE* log_ = nullptr;
    unsigned long long startTick_ = 0;
};

} // namespace ostrelsim
