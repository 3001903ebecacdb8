#include "cli/CliOptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// A week: longer waits are surely a mistake, and the count must fit the tick arithmetic.
constexpr unsigned long MAX_WAIT_SECONDS = 7UL * 24 * 3600;

bool ParseSeconds(const char* text, unsigned& seconds) {
    if (text[0] < '0' || text[0] > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || value > MAX_WAIT_SECONDS)
        return false;
    seconds = static_cast<unsigned>(value);
    return true;
}

} // namespace

bool ParseCliOptions(int argc, char** argv, CliOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h" || option == "/?") {
            options.help = true;
            continue;
        }
        if (option != "--dir" && option != "--wait" && option != "--lang") {
            error = "unknown option " + option;
            return false;
        }
        if (i + 1 >= argc || argv[i + 1][0] == '\0') {
            error = option + " needs a value";
            return false;
        }
        const char* value = argv[++i];
        if (option == "--dir") {
            options.imageFolder = value;
        } else if (option == "--lang") {
            options.langFile = value;
        } else if (!ParseSeconds(value, options.waitSeconds)) {
            error = "--wait takes a number of seconds from 0 to 604800, not " + std::string(value);
            return false;
        }
    }
    return true;
}

const char* CliUsageText() {
    return "Usage: NimbrelCli [--dir DIR] [--wait SECONDS] [--lang FILE]\n"
           "\n"
           "Sends the image files firm.zpk, sf_pcmimgcdb2.zpk, sf_pcmimgcdb1.zpk and sf_pcmimgcdb3.zpk, in\n"
           "this order, to the attached Ostrel device, as the Update File button of Nimbrel.exe does.\n"
           "\n"
           "  --dir DIR       the folder of the image files (default: the current folder)\n"
           "  --wait SECONDS  wait up to SECONDS for the device to be present (default 0)\n"
           "  --lang FILE     the text table for the stage texts (default: lang.ini beside the program;\n"
           "                  built-in English where it has no entry)\n"
           "  --help          this text\n"
           "\n"
           "Exit codes:\n"
           "  0  every image present and marked for sending was sent\n"
           "  1  usage error (unknown option, bad value, folder or text table not found)\n"
           "  2  no device (after the wait), or its data pipe cannot be opened\n"
           "  3  the device is not an Ostrel\n"
           "  4  an image was rejected (too short, bad mark, or unreadable); the file is named\n"
           "  5  a transfer failed (the device did not take the whole image; the file and the bytes\n"
           "     taken are named), or the update was interrupted (Ctrl+C)\n"
           "  6  TandryUSB.dll is missing or lacks open_dev or open_file\n"
           "  7  another update of the device is in progress (Nimbrel.exe or another NimbrelCli);\n"
           "     nothing of the device was opened\n";
}
