#pragma once

#include "link/PipeSys.h"

#include <windows.h>

// What the sender changes in the window. The window's implementation hands each change to the window's thread
// and waits for it, so that thread must keep handling messages while a sender runs.
class ImageSendUi {
public:
    virtual ~ImageSendUi() = default;
    virtual void DisableUpdateButton() = 0;
    virtual void SetProgressPos(int pos) = 0;
    virtual void ShowResultText(const char* text) = 0;
};

// Calls of the image command's bounded write before the sender gives up on a device that keeps timing out.
// Each call that times out has waited at least two seconds, so five calls give a slow device ten seconds to
// take 20 bytes before the user is told that the download failed.
constexpr int IMAGE_COMMAND_MAX_CALLS = 5;

// One transfer of the image prepared in the transfer variables (see TransferState.h), with the system kept
// awake from its start to its end (StayAwake, on the sender's thread): disables the Update
// File button, writes the 20-byte image command, then the payload from the buffer in chunks of at most
// IMAGE_CHUNK_SIZE, moving the bar after each, and shows text [message] 1030 when the device has taken every
// byte. g_cbSent counts only the bytes the system says each write moved; a chunk completed short is followed
// by its rest. A command that is never taken or completes short, a write that fails at once, a chunk that is
// not taken or moves nothing, a cancelled write that had moved part of its bytes (counted), or a raised
// g_bTransferStopRequested end the transfer there, without text 1030, with g_bTransferFailed set. In every
// case it frees the buffer, closes the pipe (both variables are left null/invalid) and sets g_bTransferDone
// last. Returns 0.
UINT RunImageSend(ImageSendUi& ui, PipeSys& sys = RealPipeSys());
