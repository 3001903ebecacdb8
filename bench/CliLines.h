// NimbrelCli.exe started for the bench with its standard output in a pipe: every line is stamped with the
// wall-clock time it arrived, so that it can be set against the virtual device's log.
#pragma once

#include "system/UniqueHandle.h"

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CliLines {
public:
    struct Line {
        std::int64_t ms; // milliseconds of the UTC day
        std::string text;
    };

    ~CliLines();
    // False when the program did not start. `startMs` gets the time just before it was started.
    bool Start(const std::string& args, std::int64_t& startMs);
    // Waits until the `nth` line (1 = first) that starts with `prefix` has come; its time, or -1 after the
    // wait.
    std::int64_t WaitFor(const std::string& prefix, unsigned nth, DWORD timeoutMs);
    // Waits for the program's end; its exit code, or -1. `endMs` gets the time the end was seen.
    long Finish(std::int64_t& endMs, DWORD timeoutMs = 120000);
    std::vector<Line> Lines();

    static std::int64_t NowMs(); // milliseconds of the UTC day, the device log's clock

private:
    void Read(HANDLE out);

    UniqueHandle m_process;
    std::thread m_reader;
    std::mutex m_mutex;
    std::vector<Line> m_lines;
};
