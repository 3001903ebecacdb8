// One start of Nimbrel.exe for a window test, with the waits that most tests need.
#pragma once

#include "tests/support/HistoryFolder.h"
#include "tests/support/VirtualDevice.h"
#include "tests/support/WindowDriver.h"
#include "tests/app/WindowTestSupport.h"

#include <gtest/gtest.h>

#include "res/resource.h"

namespace windowtest {

constexpr DWORD START_MS = 60000;
// A tick comes at least every 1000 ms; this leaves room for a loaded machine.
constexpr DWORD TICK_MS = 10000;
// The identity probe's busy delay plus the run's own work.
constexpr DWORD RUN_MS = 60000;
// An image's transfer to the virtual device.
constexpr DWORD SEND_MS = 60000;

inline std::string ProgramPath() {
    return WindowDriver::ExeDir() + "Nimbrel.exe";
}

// A program folder apart from the build's: Nimbrel.exe with the given companions copied from the build's
// folder (e.g. "TandryUSB.dll", "lang.ini").
std::string NewProgramFolder(const std::string& name, const std::vector<std::string>& companions);
// A program folder with NimbrelRecorded.exe as Nimbrel.exe: the real program, which writes its execution
// state and taskbar calls to system-calls.txt and its timers to timers.txt beside itself.
std::string RecordedProgram(const std::string& name);

// Starts the program in `imageFolder` and waits for its main window.
::testing::AssertionResult StartProgram(WindowDriver& app, const std::string& imageFolder,
                                        const std::string& program = ProgramPath());

// Waits until the link status shows the device attached.
::testing::AssertionResult WaitLinked(WindowDriver& app);

// Starts the program in `imageFolder`, waits until it shows the device attached, and presses Update File:
// the opening of every test of an update run.
::testing::AssertionResult StartAndPressUpdateFile(WindowDriver& app, const std::string& imageFolder,
                                                   const std::string& program = ProgramPath());

// Presses Update File and waits until the identity probe has been asked `requests` times in all and the
// window handles messages again. For runs that end without a transfer.
::testing::AssertionResult RunWithoutTransfer(WindowDriver& app, VirtualDevice& device,
                                              unsigned requests = 1);

// Waits for `count` images and then for the run's end: the last stage's sender has put up its text and the
// window handles messages again.
::testing::AssertionResult WaitSent(WindowDriver& app, VirtualDevice& device, unsigned count);

// Unplugs the device and checks that the program takes it as an ordinary unplug: the link status changes,
// no box comes up and the program goes on.
::testing::AssertionResult UnplugIsNoFailure(WindowDriver& app, VirtualDevice& device);

// Expects the device to have received `image` (the file `name`) whole: its command first, then its payload in
// writes of at most 2048 bytes.
void ExpectReceived(const VirtualDevice::Image& got, const Bytes& image, const char* name);

// The window's history start line up to the probe's verdict, and a stage's fingerprint field.
inline const std::string RUN_START =
    R"(run-start program=Nimbrel\.exe version=1\.0\.0\.1 link=".*\\TandryUSB\.dll" probe=)";
inline const std::string SHA = " sha256=[0-9a-f]{64}";
// Each history line matches its pattern, after the time stamp.
void ExpectHistory(const std::vector<std::string>& lines, const std::vector<std::string>& patterns);

// Expects exactly one message box with this text and icon, the program's title as caption; answers it.
::testing::AssertionResult AnswerBox(WindowDriver& app, const std::string& text, WindowDriver::BoxIcon icon);
// Answers the one stop box with this text, as AnswerBox does, and waits for the program to end with status 0:
// how it ends after a lost download and after another model.
::testing::AssertionResult AnswerStopBoxAndExit(WindowDriver& app, const std::string& text);
// The progress bar's position, read from the program; -1 when its window did not answer.
long BarPosition(const WindowDriver& app);

} // namespace windowtest
