#pragma once

#include "link/PipeSys.h"

#include <windows.h>

class CWnd;

constexpr BYTE IDENTITY_REQUEST = 0x21;    // '!'
constexpr BYTE IDENTITY_REPLY_MARK = 0x42; // 'B': first reply byte of the expected model
constexpr DWORD IDENTITY_MAX_READS = 3002; // reads the worker makes at most when none completes
constexpr DWORD IDENTITY_REQUEST_POLLS = 1000;
constexpr char NOT_OSTREL_TEXT[] = "This is Not Ostrel!";

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

// The probe without its verdict box: writes the one-byte request on the host-to-device pipe (overlapped, with
// a bounded wait; the outcome is not examined), starts IdentityProbeThread with pThreadParam, runs `delay` on
// the calling thread, stops the worker and waits for it, and returns whether the device has been identified.
bool ProbeDeviceIdentity(HANDLE pipeToDevice, LPVOID pThreadParam, ProbeDelayFn delay = ProbeBusyDelay);

// The update run's probe: returns when the device is identified; otherwise shows "This is Not Ostrel!" with
// the stop icon and ends the process with status 0.
void RunIdentityProbe(HANDLE pipeToDevice, CWnd* pMainWnd);
