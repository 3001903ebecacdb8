#include "link/ProbeState.h"

std::atomic<LONG> g_bDeviceIdentified{0};
BYTE g_abProbeReply[IDENTITY_REPLY_SIZE] = {};
std::atomic<bool> g_bProbeStopRequested{false};
