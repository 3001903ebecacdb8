// What one measured transfer reports: its duration and the sending process's peak memory.
#pragma once

#include <windows.h>

#include <cstdint>

struct TransferFigures {
    bool ok = false;
    double seconds = 0;
    std::uint64_t bytes = 0;          // command and payload bytes written
    std::uint64_t peakWorkingSet = 0; // of the sending process
    std::uint64_t peakCommit = 0;

    double MegabytesPerSecond() const { return seconds > 0 ? static_cast<double>(bytes) / 1e6 / seconds : 0; }
};

// Fills in the peak memory figures of the calling process.
void ReadPeakMemory(TransferFigures& figures);

// A deterministic image of `size` bytes (marked for sending) in a buffer from the C heap, as the update
// sequence's load leaves it; null when no buffer can be had.
BYTE* MakeBenchImage(std::uint32_t size);

// Seconds on a steady clock.
double SecondsNow();
