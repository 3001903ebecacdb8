#pragma once

#include "bench/BenchReport.h"

// The reference: the image command and the payload written in 2048-byte overlapped writes, each waited for by
// polling with 1 ms sleeps, with no window, no progress and no thread hand-over. Run in a process of its own.
TransferFigures RunBareLoop(std::uint32_t imageSize);
