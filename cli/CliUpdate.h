#pragma once

#include "cli/CliExit.h"
#include "cli/CliOptions.h"

// The console's update: one device (the engine's update run, with the wait for the device before it), or with
// --each device after device. Lines go to standard output, errors to standard error. Returns the exit code.
int RunCliUpdate(const CliOptions& options);
