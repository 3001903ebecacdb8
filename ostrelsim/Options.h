// Command line of OstrelSim.exe: where the device lives and how it (mis)behaves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ostrelsim {

struct Options {
    std::string prefix; // device path prefix; empty = the default namespace
    std::string outputDir = "ostrelsim-out";
    bool startPlugged = true;
    std::uint32_t plugAfterMs = 0; // with startPlugged false: plug in after this delay (0 = never by itself)
    std::uint8_t identityByte = 'B';
    bool reply = true;
    std::uint32_t replyDelayMs = 0;
    std::uint32_t replySize = 10;         // 1..10
    std::uint32_t rateBytesPerSecond = 0; // 0 = no limit
    std::uint32_t pipeBuffer = 0;         // PIPE00 in-buffer; 0 = 65536, or 1024 with a rate limit
    std::int64_t unplugAfterBytes = -1;   // payload bytes since start; -1 = off
    std::int64_t unplugInImage = -1;      // 1-based image number; -1 = off
    std::int64_t stallAfterBytes = -1;
    std::int64_t failWritesAfter = -1; // payload bytes of one image
    // Unplug once this many images have ended (0: once the first identity probe has ended); -1 = off.
    std::int64_t unplugAfterImages = -1;
    std::uint32_t parentPid = 0; // quit when this process ends
    bool help = false;

    std::uint32_t EffectivePipeBuffer() const {
        if (pipeBuffer != 0) {
            return pipeBuffer;
        }
        return rateBytesPerSecond != 0 ? 1024 : 65536;
    }
};

// Parses argv[1..]; on a bad option returns false and says why in `error`.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

// A single character stands for itself; anything longer is a number such as 0x62.
bool ParseByte(const std::string& text, std::uint8_t& value);

// The --help text.
const char* UsageText();

} // namespace ostrelsim
