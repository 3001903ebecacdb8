#pragma once

#include "system/CHeapBuffer.h"
#include "engine/ImageTransfer.h"
#include "framework/CWinThread.h"
#include "system/UniqueHandle.h"

#include <windows.h>

#include <cstdint>
#include <memory>

// Worker thread procedure that sends the image prepared in the transfer variables (see ImageTransfer.h and
// TransferState.h). Its parameter is the window's side of the transfer (ImageSendUi*), which must outlive
// the thread. Returns 0. Read g_bTransferFailed after g_bTransferDone is 1 or the thread has ended.
UINT ImageSendThread(LPVOID pParam);

// Hands the loaded image and the stage's pipe to the transfer variables and resets the transfer's state
// (g_cbSent, g_bTransferFailed and g_bTransferDone 0); from then on they belong to the sender that is given
// them. A stop already requested stays requested, so the sender then writes nothing.
void HandOverImage(UniqueHandle pipe, CHeapBuffer image, std::uint32_t cbImage);

// Hands the loaded image and the stage's pipe to the transfer variables and starts ImageSendThread on `ui`,
// owned by the caller. From then on the sender owns both: it frees the one and closes the other. Null when
// no thread could be started; both are released then.
std::unique_ptr<CWinThread> StartImageSender(ImageSendUi& ui, UniqueHandle pipe, CHeapBuffer image,
                                             std::uint32_t cbImage);
