#pragma once

#include <string>

// What NimbrelCli was asked to do.
struct CliOptions {
    std::string imageFolder;   // --dir: where the image files are; empty: the current directory
    unsigned waitSeconds = 0;  // --wait: how long to wait for the device to be present
    std::string langFile;      // --lang: the text table; empty: lang.ini beside the program
    bool allowBattery = false; // --allow-battery: update even on a low battery
    bool each = false;         // --each: device after device, until --count devices or Ctrl+C
    unsigned count = 0;        // --count: how many devices --each updates; 0: no limit
    bool check = false;        // --check: everything of an update but the sending
    bool help = false;         // --help
    bool json = false;         // --json: JSON Lines on standard output
    bool report = false;       // --report: the support report instead of an update
    std::string reportFile;    // --report FILE; empty: the default name in the current folder
    bool openReport = false;   // --open: with --report, the report opens in Notepad
};

// Reads the command line. False, with `error` saying why, on an unknown option, a missing or bad value.
bool ParseCliOptions(int argc, char** argv, CliOptions& options, std::string& error);

// The text of --help: usage, options and exit codes.
const char* CliUsageText();
