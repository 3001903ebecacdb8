#include "engine/RunId.h"

#include <windows.h>

#include <atomic>

namespace {

constexpr int TIME_DIGITS = 9; // 36^9 ms reach past the year 5000
constexpr int PROCESS_DIGITS = 4;

std::string Base36(std::uint64_t value, int width) {
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[value % 36]);
        value /= 36;
    } while (value > 0);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, width - digits.size(), '0');
    return digits;
}

std::uint64_t UtcMilliseconds() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr std::uint64_t TICKS_TO_1970 = 116444736000000000ULL; // 100 ns ticks from 1601 to 1970
    return (ticks - TICKS_TO_1970) / 10000;
}

} // namespace

std::string FormatRunId(std::uint64_t utcMs, std::uint32_t processId) {
    return Base36(utcMs, TIME_DIGITS) + "-" + Base36(processId, PROCESS_DIGITS);
}

std::string NewRunId() {
    // Two runs of one process in the same millisecond (or after the clock was set back) still differ.
    static std::atomic<std::uint64_t> last{0};
    std::uint64_t ms = UtcMilliseconds();
    std::uint64_t previous = last.load();
    do {
        if (ms <= previous)
            ms = previous + 1;
    } while (!last.compare_exchange_weak(previous, ms));
    return FormatRunId(ms, ::GetCurrentProcessId());
}
