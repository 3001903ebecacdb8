#include "ostrelsim/Options.h"

#include <cerrno>
#include <cstdlib>

namespace ostrelsim {
namespace {

bool ParseNumber(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

} // namespace

bool ParseByte(const std::string& text, std::uint8_t& value) {
    if (text.size() == 1) {
        value = static_cast<std::uint8_t>(text[0]);
        return true;
    }
    std::int64_t number = 0;
    if (!ParseNumber(text, 0, 255, number)) {
        return false;
    }
    value = static_cast<std::uint8_t>(number);
    return true;
}

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
    constexpr std::int64_t MAX32 = 0xFFFFFFFFLL;
    constexpr std::int64_t MAX_BYTES = 1LL << 50;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h" || name == "/?") {
            options.help = true;
            continue;
        }
        if (name == "--absent") {
            options.startPlugged = false;
            continue;
        }
        if (name == "--no-reply") {
            options.reply = false;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = "unknown option or missing value: " + name;
            return false;
        }
        const std::string& value = args[++i];
        std::int64_t number = 0;
        bool ok = true;
        if (name == "--prefix") {
            options.prefix = value;
            ok = !value.empty();
        } else if (name == "--out") {
            options.outputDir = value;
            ok = !value.empty();
        } else if (name == "--plug-after-ms") {
            ok = ParseNumber(value, 1, MAX32, number);
            options.startPlugged = false;
            options.plugAfterMs = static_cast<std::uint32_t>(number);
        } else if (name == "--identity-byte") {
            ok = ParseByte(value, options.identityByte);
        } else if (name == "--reply-delay-ms") {
            ok = ParseNumber(value, 0, MAX32, number);
            options.replyDelayMs = static_cast<std::uint32_t>(number);
        } else if (name == "--reply-size") {
            ok = ParseNumber(value, 1, 10, number);
            options.replySize = static_cast<std::uint32_t>(number);
        } else if (name == "--rate") {
            ok = ParseNumber(value, 1, MAX32, number);
            options.rateBytesPerSecond = static_cast<std::uint32_t>(number);
        } else if (name == "--pipe-buffer") {
            ok = ParseNumber(value, 0, 1 << 24, number);
            options.pipeBuffer = static_cast<std::uint32_t>(number);
        } else if (name == "--unplug-after-bytes") {
            ok = ParseNumber(value, 0, MAX_BYTES, options.unplugAfterBytes);
        } else if (name == "--unplug-in-image") {
            ok = ParseNumber(value, 1, MAX32, options.unplugInImage);
        } else if (name == "--stall-after-bytes") {
            ok = ParseNumber(value, 0, MAX_BYTES, options.stallAfterBytes);
        } else if (name == "--fail-writes-after") {
            ok = ParseNumber(value, 0, MAX_BYTES, options.failWritesAfter);
        } else if (name == "--unplug-after-images") {
            ok = ParseNumber(value, 0, MAX32, options.unplugAfterImages);
        } else if (name == "--parent-pid") {
            ok = ParseNumber(value, 1, MAX32, number);
            options.parentPid = static_cast<std::uint32_t>(number);
        } else {
            error = "unknown option: " + name;
            return false;
        }
        if (!ok) {
            error = "bad value for " + name + ": " + value;
            return false;
        }
    }
    return true;
}

const char* UsageText() {
    return "OstrelSim.exe - a virtual Ostrel device reached through TandryUSB.dll\n"
           "\n"
           "  --prefix P              device path prefix (default \\\\.\\pipe\\OstrelSim); the library finds "
           "it\n"
           "                          through the environment variable TANDRY_DEVICE_PREFIX\n"
           "  --out DIR               folder for received images and log.jsonl (default .\\ostrelsim-out)\n"
           "  --absent                start unplugged\n"
           "  --plug-after-ms MS      start unplugged, plug in after MS milliseconds\n"
           "  --identity-byte X       first byte of the identity reply: a character or a number (default B)\n"
           "  --no-reply              never answer an identity request\n"
           "  --reply-delay-ms MS     answer identity requests after MS milliseconds\n"
           "  --reply-size N          identity reply length, 1 to 10 (default 10)\n"
           "  --rate BPS              read PIPE00 at most BPS bytes per second (small pipe buffer)\n"
           "  --pipe-buffer N         PIPE00 in-buffer size (default 65536, or 1024 with --rate)\n"
           "  --unplug-after-bytes N  unplug once N image payload bytes have arrived since start\n"
           "  --unplug-in-image K     unplug right after the command of image K (1 = first)\n"
           "  --stall-after-bytes N   stop reading image data once N payload bytes have arrived\n"
           "  --fail-writes-after N   break an image's connection after N of its payload bytes (stays "
           "plugged);\n"
           "                          the host's later writes on it fail\n"
           "  --unplug-after-images N unplug once N images have ended (0: once the identity probe has "
           "ended);\n"
           "                          PIPE00 takes no connection after image N (or the probe), so the "
           "host's\n"
           "                          next open fails; image N must be larger than the pipe buffer\n"
           "  --parent-pid PID        quit when process PID ends\n"
           "\n"
           "Control pipe <prefix>\\CONTROL, one text command per message: plug, unplug, identity X (the\n"
           "identity byte from now on, as --identity-byte), status, quit. The same commands, one a line,\n"
           "typed into the device's console (its standard input) go there too.\n";
}

} // namespace ostrelsim
