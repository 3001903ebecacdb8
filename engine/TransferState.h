#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

// Process-wide transfer variables. The update sequence sets g_pImageData, g_cbImage, g_cbSent and g_hDataPipe
// before it starts a sender and leaves them alone until the sender has raised g_bTransferDone; from its start
// the sender owns the buffer (freed by it) and the pipe (closed by it).

extern BYTE* g_pImageData;      // the loaded image; points at the payload while the sender runs
extern std::uint32_t g_cbImage; // the image's size; the payload's size while the sender runs
// Payload bytes the device has taken. Atomic: others may read it while the sender counts (a progress
// display, the history of a run that ends while an image is in flight).
extern std::atomic<std::uint32_t> g_cbSent;
extern HANDLE g_hDataPipe; // host-to-device pipe used and closed by the sender

// 1 once the sender has finished its image (its last action). Atomic: the window's thread polls it while
// the sender writes it.
extern std::atomic<LONG> g_bTransferDone;
static_assert(sizeof(LONG) == 4, "the done flag is a 32-bit flag");

// The sender's verdict, written before g_bTransferDone and valid once that flag is 1 (or the sender's thread
// has ended): 1 when the transfer stopped before the device took the whole image (the image command was never
// taken, a chunk failed, or a cancelled write had moved part of its bytes). The update sequence then reports
// the failed download as for a device lost during a transfer. 0 when every byte was taken.
extern std::atomic<LONG> g_bTransferFailed;

// Raised by whoever wants a running transfer stopped (a console's Ctrl+C): the sender cancels and collects
// its pending write, starts no other, and ends as failed; raised before the sender's first write, it writes
// nothing at all. Cleared when an update run begins, never in the middle of one; raised by the run itself
// when it is ended from outside while a sender runs.
extern std::atomic<bool> g_bTransferStopRequested;
