#pragma once

#include "cli/CliOptions.h"
#include "cli/CliTexts.h"

// --each: the images checked once, then device after device, each one update run of the engine, until
// --count devices or Ctrl+C (or the stop event). Returns the exit code: 0 when every device was updated, 9
// when not; the code of a condition that would fail every later device as well (4, 6, 7, 8) when one ended
// the loop.
int UpdateEachDevice(const CliOptions& options, const CliTexts& texts);
