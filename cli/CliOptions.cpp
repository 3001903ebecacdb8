#include "cli/CliOptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// A week: longer waits are surely a mistake, and the count must fit the tick arithmetic.
constexpr unsigned long MAX_WAIT_SECONDS = 7UL * 24 * 3600;

// A bench of a million devices is far beyond any shift; a larger count is a typing error.
constexpr unsigned long MAX_COUNT = 1000000;

bool ParseNumber(const char* text, unsigned long low, unsigned long high, unsigned& number) {
    if (text[0] < '0' || text[0] > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high)
        return false;
    number = static_cast<unsigned>(value);
    return true;
}

} // namespace

bool ParseCliOptions(int argc, char** argv, CliOptions& options, std::string& error) {
    bool counted = false;
    bool waited = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h" || option == "/?") {
            options.help = true;
            continue;
        }
        if (option == "--allow-battery") {
            options.allowBattery = true;
            continue;
        }
        if (option == "--each") {
            options.each = true;
            continue;
        }
        if (option == "--check") {
            options.check = true;
            continue;
        }
        if (option == "--json") {
            options.json = true;
            continue;
        }
        if (option == "--open") {
            options.openReport = true;
            continue;
        }
        if (option == "--report") { // its file is optional: a following option is not one
            options.report = true;
            if (i + 1 < argc && argv[i + 1][0] != '\0' && std::strncmp(argv[i + 1], "--", 2) != 0)
                options.reportFile = argv[++i];
            continue;
        }
        if (option != "--dir" && option != "--wait" && option != "--lang" && option != "--count") {
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
        } else if (option == "--count") {
            if (!ParseNumber(value, 1, MAX_COUNT, options.count)) {
                error = "--count takes a number of devices from 1 to 1000000, not " + std::string(value);
                return false;
            }
            counted = true;
        } else if (!ParseNumber(value, 0, MAX_WAIT_SECONDS, options.waitSeconds)) {
            error = "--wait takes a number of seconds from 0 to 604800, not " + std::string(value);
            return false;
        } else {
            waited = true;
        }
    }
    // Each option means something only in its own mode: a silently ignored one would surprise at the bench.
    if (counted && !options.each) {
        error = "--count goes with --each";
        return false;
    }
    if (options.check && options.each) {
        error = "--check looks at one device: leave out --each";
        return false;
    }
    if (options.report && (options.each || counted || waited || options.json || options.check)) {
        error = "--report goes with --dir and --lang only";
        return false;
    }
    if (options.openReport && !options.report) {
        error = "--open goes with --report";
        return false;
    }
    if (waited && options.each) {
        error = "--each waits for every device without limit: leave out --wait";
        return false;
    }
    return true;
}

const char* CliUsageText() {
    return "Usage: NimbrelCli [--dir DIR] [--wait SECONDS] [--lang FILE] [--allow-battery] [--check] "
           "[--json]\n"
           "       NimbrelCli --each [--count N] [--dir DIR] [--lang FILE] [--allow-battery] [--json]\n"
           "       NimbrelCli --report [FILE] [--dir DIR] [--lang FILE] [--open]\n"
           "\n"
           "Sends the image files firm.zpk, sf_pcmimgcdb2.zpk, sf_pcmimgcdb1.zpk and sf_pcmimgcdb3.zpk, in\n"
           "this order, to the attached Ostrel device, as the Update File button of Nimbrel.exe does.\n"
           "\n"
           "When the folder has a SHA256SUMS (the maker's checksum list, as sha256sum writes it), every "
           "image\n"
           "marked for sending must be in it and match it, and every image it names must be there, before\n"
           "anything of the device is opened; a SHA256SUMS.sig beside it must be the maker's signature. A\n"
           "program built with the maker's key sends only folders whose SHA256SUMS has that signature\n"
           "(unless built for a changeover); one without sends a folder without SHA256SUMS as it is, and\n"
           "says that the contents are not verified.\n"
           "\n"
           "With --check it does everything of an update but the sending: the lock, the power check, the\n"
           "images' checks, the device's presence and its identity probe. It prints each image's verdict "
           "and\n"
           "how its contents are verified, and ends with 0 when an update would go ahead, otherwise with "
           "the\n"
           "code the update would end with.\n"
           "\n"
           "With --each it updates device after device (a service bench): it checks the images once, then\n"
           "waits for a device, updates it, prints one line \"device <n>: ...\" with the outcome, asks for\n"
           "the device to be removed and waits until it is gone, then waits for the next. A device left\n"
           "attached is never updated twice; a wrong model or a failed transfer does not stop the loop.\n"
           "It ends after N devices (--count N) or on Ctrl+C and prints\n"
           "\"<N> devices: <X> updated, <Y> not updated\".\n"
           "\n"
           "  --dir DIR       the folder of the image files (default: the current folder)\n"
           "  --wait SECONDS  wait up to SECONDS for the device to be present (default 0)\n"
           "  --lang FILE     the text table for the stage texts (default: lang.ini beside the program;\n"
           "                  built-in English where it has no entry)\n"
           "  --allow-battery update even when the PC runs on a battery below 20%\n"
           "  --each          device after device, each waited for without limit\n"
           "  --count N       with --each: end after N devices (default: until Ctrl+C)\n"
           "  --check         check the images and the device, send nothing\n"
           "  --json          standard output in JSON Lines, one event a line (errors also on standard\n"
           "                  error, exit codes unchanged)\n"
           "  --report [FILE] write the support report to FILE (a folder: the default name in it; default:\n"
           "                  nimbrel-report-<date>-<time>.txt in the current folder); sends no image,\n"
           "                  only the identity probe when no update runs\n"
           "  --open          with --report: open the report in Notepad\n"
           "  --help          this text\n"
           "\n"
           "Exit codes:\n"
           "  0  every image present and marked for sending was sent (--check: an update would go ahead)\n"
           "  1  usage error (unknown option, bad value, folder or text table not found)\n"
           "  2  no device (after the wait), or its data pipe cannot be opened\n"
           "  3  the device is not an Ostrel\n"
           "  4  an image was rejected (too short, bad mark, unreadable, or in use by another program),\n"
           "     or does not match SHA256SUMS or its signature (not in the list, changed, missing, the\n"
           "     list invalid); the file or the\n"
           "     list's line is named; nothing of the device was opened when the check before it found it\n"
           "  5  a transfer failed (the device did not take the whole image; the file and the bytes\n"
           "     taken are named), or the update was interrupted (Ctrl+C)\n"
           "  6  TandryUSB.dll is missing or lacks open_dev or open_file\n"
           "  7  another update of the device is in progress (Nimbrel.exe or another NimbrelCli);\n"
           "     nothing of the device was opened\n"
           "  8  the PC runs on a battery below 20%: connect the charger, or use --allow-battery;\n"
           "     nothing of the device was opened\n"
           "  9  --each: not every device was updated (or Ctrl+C came before N devices of --count N)\n"
           "\n"
           "With --each, 1, 4, 6, 7 and 8 end the program before the first device when the check at the\n"
           "start finds them (an image rejected, no image to send, ...), and end the loop after a device's\n"
           "line when they come up in its update (an image that changed since, another update holding the\n"
           "device, the battery, the link library): every later device would fail the same way.\n";
}
