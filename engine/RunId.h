#pragma once

#include <cstdint>
#include <string>

// The id of one update run: it heads the run's history lines, the console's output and its JSON events, so
// that support can tell which lines belong to which run. The UTC time of the run's start in milliseconds (9
// base-36 digits, so ids sort by time as text) and the process id (base 36): "mkq3v8z0c-1kz". Unique on the
// PC: one process starts at most one run per millisecond (a later one takes the next free millisecond), and
// no two processes share an id at a time.
std::string NewRunId();

// The same from given parts, for the tests of its form.
std::string FormatRunId(std::uint64_t utcMs, std::uint32_t processId);
