#include "engine/ImageTransfer.h"

#include "engine/ImageFormat.h"
#include "engine/TransferState.h"
#include "system/StayAwake.h"
#include "link/PipeIo.h"
#include "system/TimerResolution.h"
#include "texts/LangText.h"
#include "texts/TextKeys.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Only a call that timed out without moving a byte may be repeated: one that failed at once would fail again,
// and one that moved part of the command would leave the device with a torn command.
// A command the system completed short is torn as well.
bool SendCommand(const BYTE* command, PipeSys& sys) {
    for (int call = 0; call < IMAGE_COMMAND_MAX_CALLS; ++call) {
        DWORD moved = 0;
        const PipeResult result =
            WritePipeBounded(g_hDataPipe, command, IMAGE_COMMAND_SIZE, IMAGE_COMMAND_POLLS, sys,
                             &g_bTransferStopRequested, &moved);
        if (result != PipeResult::TimedOut)
            return IsCompleted(result) && moved == IMAGE_COMMAND_SIZE;
    }
    return false;
}

bool SendPayload(ImageSendUi& ui, std::uint32_t progressStep, PipeSys& sys) {
    const std::uint32_t payload = g_cbImage;
    do {
        const std::uint32_t chunk = std::min(payload - g_cbSent, IMAGE_CHUNK_SIZE);
        DWORD moved = 0;
        const PipeResult result = WritePipeBounded(g_hDataPipe, g_pImageData + g_cbSent, chunk,
                                                   IMAGE_CHUNK_POLLS, sys, &g_bTransferStopRequested, &moved);
        // Only the bytes the system says it moved count: a write completed short leaves the rest for the next
        // pass, which starts where the device's bytes end. One that moved nothing would never get further.
        g_cbSent += std::min<std::uint32_t>(moved, chunk);
        if (!IsCompleted(result) || moved == 0)
            return false; // nothing after a chunk the device did not take may count as sent
        ui.SetProgressPos(static_cast<int>(g_cbSent / progressStep));
    } while (g_cbSent < payload);
    return true;
}

bool SendImage(ImageSendUi& ui, PipeSys& sys) {
    const std::uint32_t size = g_cbImage;
    if (!g_pImageData || size < IMAGE_LEAD_SIZE || g_cbSent > size - IMAGE_HEADER_SIZE)
        return false;
    const std::uint32_t progressStep = std::max<std::uint32_t>((size - IMAGE_HEADER_SIZE) / 100, 1);

    BYTE command[IMAGE_COMMAND_SIZE];
    std::memcpy(command, g_pImageData, IMAGE_COMMAND_SIZE);
    g_pImageData += IMAGE_HEADER_SIZE;
    g_cbImage -= IMAGE_HEADER_SIZE;

    const bool sent = SendCommand(command, sys) && SendPayload(ui, progressStep, sys);
    g_pImageData -= IMAGE_HEADER_SIZE;
    return sent;
}

} // namespace

UINT RunImageSend(ImageSendUi& ui, PipeSys& sys) {
    ScopedTimerResolution resolution;
    // An image cut off halfway can leave a device that no longer starts: the system must not sleep until
    // this transfer has ended, whichever way it ends.
    const StayAwake awake;
    g_bTransferDone.store(0);
    ui.DisableUpdateButton();

    const bool sent = SendImage(ui, sys);
    if (sent) {
        // A buffer of the sender's own: the window's thread may be looking up another text meanwhile.
        char text[LANG_TEXT_SIZE];
        ui.ShowResultText(LookupLangText(TEXT_SECTION_MESSAGE, TEXT_IMAGE_SENT, text, sizeof(text)));
    }

    std::free(g_pImageData);
    g_pImageData = nullptr;
    if (g_hDataPipe != INVALID_HANDLE_VALUE && g_hDataPipe != nullptr)
        ::CloseHandle(g_hDataPipe);
    g_hDataPipe = INVALID_HANDLE_VALUE;

    g_bTransferFailed.store(sent ? 0 : 1);
    g_bTransferDone.store(1);
    return 0;
}
