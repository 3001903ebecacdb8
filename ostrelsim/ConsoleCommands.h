// The device's console as a second way into its control channel: each line typed there (or given on its
// standard input) goes to <prefix>\CONTROL as one command, and the answer is printed. So someone trying the
// updater can plug and unplug the device by hand, without a second program.
#pragma once

#include "ostrelsim/Recorder.h"

#include <string>

namespace ostrelsim {

// Starts reading standard input on a thread of its own, which ends with the input (or with the process). The
// commands travel through the control pipe, so that plug and unplug stay on the control loop's thread.
void StartConsoleCommands(const std::string& prefix, Recorder& recorder);

} // namespace ostrelsim
