#pragma once

#include <windows.h>

#include <atomic>

// Process-wide state of the device identity probe.

// 1 once a probe reply started with 'B'. Cleared when the main window starts, never between update runs, so a
// device identified once passes every later probe. Written by the probe worker, read by the window's thread
// after the worker has ended; atomic because the two threads share it.
extern std::atomic<LONG> g_bDeviceIdentified;
static_assert(sizeof(LONG) == 4, "the identified flag is a 32-bit flag");

// Size of an identity reply, and the last reply read (never cleared; only byte 0 is looked at).
constexpr DWORD IDENTITY_REPLY_SIZE = 10;
extern BYTE g_abProbeReply[IDENTITY_REPLY_SIZE];

// Raised by the probe when its delay is over: the worker then cancels its read, reads nothing more, leaves
// g_bDeviceIdentified alone, releases its pipe and the library, and ends.
extern std::atomic<bool> g_bProbeStopRequested;
