#pragma once

#include <string>

// Exit codes of NimbrelCli (also in its --help and the README).
enum CliExit {
    CLI_EXIT_SENT = 0,           // every image present and marked for sending was sent (--each: every device)
    CLI_EXIT_USAGE = 1,          // bad command line, folder or text table not found
    CLI_EXIT_NO_DEVICE = 2,      // no device after the wait, or its data pipe cannot be opened
    CLI_EXIT_WRONG_MODEL = 3,    // the identity probe's verdict: not an Ostrel
    CLI_EXIT_IMAGE_REJECTED = 4, // too short, bad mark or unreadable
    CLI_EXIT_TRANSFER_FAILED = 5,  // the device did not take the whole image, or the update was interrupted
    CLI_EXIT_NO_LINK_LIBRARY = 6,  // TandryUSB.dll missing or without its exports
    CLI_EXIT_ANOTHER_RUN = 7,      // another update of the device holds the lock; nothing was opened
    CLI_EXIT_LOW_BATTERY = 8,      // the PC runs on a low battery; nothing was opened (--allow-battery)
    CLI_EXIT_NOT_EVERY_DEVICE = 9, // --each: a device was not updated, or the loop stopped short of --count
};

// Prints "NimbrelCli: <text>" on standard error (after what standard output holds), with --json also as an
// error event, and returns `code`.
int CliFail(int code, const char* format, ...) __attribute__((format(printf, 2, 3)));
// The same on standard error alone: for the error of a run, whose event comes before the run's end.
int CliFailAfterItsEvent(int code, const std::string& text);
