#pragma once

#include "bench/BenchReport.h"

// Sends one image through ImageSendThread as the program does: the main window runs modally on this thread,
// its presence monitor ticking, and the window's thread pumps messages while the sender runs.
TransferFigures RunWindowSend(std::uint32_t imageSize);
