#pragma once

#include "link/PipeSys.h"

#include <windows.h>

constexpr BYTE IDENTITY_REQUEST = 0x21;    // '!'
constexpr BYTE IDENTITY_REPLY_MARK = 0x42; // 'B': first reply byte of the expected model
constexpr DWORD IDENTITY_MAX_READS = 3002; // reads the worker makes at most when none completes
constexpr DWORD IDENTITY_REQUEST_POLLS = 1000;
constexpr DWORD IDENTITY_MIN_WAIT_MS = 1000; // the least time a reply is waited for, from the request on

// Worker thread procedure: opens the device-to-host pipe through the link library and reads the identity
// reply (at most IDENTITY_MAX_READS bounded reads); sets g_bDeviceIdentified when the reply starts with 'B'.
// Stops at g_bProbeStopRequested. Its parameter is not used. Exit code 1.
UINT IdentityProbeThread(LPVOID pParam);

// The worker's reads on an open device-to-host pipe: bounded reads into g_abProbeReply until one completes
// (then g_bDeviceIdentified is set if its first byte is 'B'), IDENTITY_MAX_READS have not completed, or
// g_bProbeStopRequested is raised.
void ReadIdentityReply(HANDLE pipe, PipeSys& sys = RealPipeSys());

// The fixed busy delay of the probe: 800 x 900 x 900 passes that really run (about a second,
// machine-dependent).
void ProbeBusyDelay();

using ProbeDelayFn = void (*)();

// The identity probe: writes the one-byte request on the host-to-device pipe (overlapped, with a bounded
// wait; the outcome is not examined), starts IdentityProbeThread with pThreadParam, runs `delay` on the
// calling thread, lets a worker that is still reading go on until IDENTITY_MIN_WAIT_MS have passed since the
// request, then stops the worker and waits for it. Returns the verdict: whether the device is the expected
// model. Telling the user otherwise is the caller's part.
bool ProbeDeviceIdentity(HANDLE pipeToDevice, LPVOID pThreadParam, ProbeDelayFn delay = ProbeBusyDelay);
