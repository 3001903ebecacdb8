#pragma once

#include "bench/BenchReport.h"

#include <string>

// Runs the bare loop in a child process (this program with --bare) and reads back its figures.
TransferFigures RunBareLoopInChild(std::uint32_t imageSize);

// The child's side: runs the bare loop and prints its figures as one line for the parent.
int BareChildMain(const std::string& sizeArgument);
