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
    std::size_t AddWrite(const std::uint8_t* data, std::size_t size);
    // Closes the files, logs the image and prints its summary. Later calls do nothing.
    void Finish(bool complete);

    unsigned Index() const { return m_index; }
    std::uint64_t PayloadBytes() const { return m_payloadBytes; }

private:
    Recorder& m_recorder;
    unsigned m_index;
    unsigned m_connection;
    std::FILE* m_commandFile = nullptr;
    std::FILE* m_payloadFile = nullptr;
    std::FILE* m_writesFile = nullptr;
    std::vector<std::uint8_t> m_command;
    std::uint64_t m_payloadBytes = 0;
    unsigned m_writes = 0;
    Sha256 m_wholeHash;
    Sha256 m_payloadHash;
    bool m_finished = false;
};

class Recorder {
public:
    Recorder() = default;
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Creates the folder (and its parents) and starts log.jsonl afresh.
    bool Open(const std::string& folder, std::string& error);

    // Appends {"time":...,"t_ms":...,<fields>} to the log. `fields` is already JSON: "\"event\":\"plug\"".
    void Log(const std::string& fields);
    void Print(const std::string& line); // one line on standard output
    std::unique_ptr<ImageRecord> BeginImage(unsigned index, unsigned connection);

    static std::string Quote(const std::string& text); // a JSON string literal

private:
    std::mutex m_mutex;
    std::string m_folder;
    std::FILE* m_log = nullptr;
    unsigned long long m_startTick = 0;
};

} // namespace ostrelsim
