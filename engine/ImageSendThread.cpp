#include "engine/ImageSendThread.h"

#include "engine/TransferState.h"
#include "framework/OwnedThread.h"

#include <cstdlib>
#include <utility>

UINT ImageSendThread(LPVOID pParam) {
    return RunImageSend(*static_cast<ImageSendUi*>(pParam));
}

void HandOverImage(UniqueHandle pipe, CHeapBuffer image, std::uint32_t cbImage) {
    g_hDataPipe = pipe.Release();
    g_pImageData = image.release();
    g_cbImage = cbImage;
    g_cbSent = 0;
    g_bTransferFailed.store(0);
    g_bTransferDone.store(0);
    // The stop flag is left as it is: a stop asked for while the image was being loaded must still keep
    // every byte of it from the device. The run clears the flag when it begins.
}

std::unique_ptr<CWinThread> StartImageSender(ImageSendUi& ui, UniqueHandle pipe, CHeapBuffer image,
                                             std::uint32_t cbImage) {
    // Written before the thread starts, which orders them before the sender's reads.
    HandOverImage(std::move(pipe), std::move(image), cbImage);
    std::unique_ptr<CWinThread> sender = StartOwnedThread(ImageSendThread, &ui);
    if (!sender) {
        // No sender took them: released here, as it would have.
        std::free(g_pImageData);
        g_pImageData = nullptr;
        UniqueHandle(g_hDataPipe).Reset();
        g_hDataPipe = INVALID_HANDLE_VALUE;
    }
    return sender;
}
