#include "bench/WindowSend.h"

#include "engine/ImageFormat.h"
#include "engine/TransferState.h"
#include "link/DeviceLink.h"
#include "tests/support/MainWindowSend.h"

#include <cstdlib>

namespace {

TransferFigures SendOnce(CNimbrelDlg& dlg, std::uint32_t imageSize) {
    TransferFigures figures;
    LinkOpenResult pipe = OpenPipeOnce(g_szPipeToDevice);
    BYTE* image = MakeBenchImage(imageSize);
    if (!pipe.handle.IsValid() || !image) {
        std::free(image);
        return figures;
    }
    g_pImageData = image;
    g_cbImage = imageSize;
    g_cbSent = 0;
    g_hDataPipe = pipe.handle.Release();
    const double begin = SecondsNow();
    if (!SendFromMainWindow(dlg))
        return figures;
    figures.seconds = SecondsNow() - begin;
    figures.ok = g_bTransferFailed.load() == 0;
    figures.bytes = IMAGE_COMMAND_SIZE + (imageSize - IMAGE_HEADER_SIZE);
    ReadPeakMemory(figures);
    return figures;
}

} // namespace

TransferFigures RunWindowSend(std::uint32_t imageSize) {
    TransferFigures figures;
    CNimbrelDlg dlg;
    RunInsideMainWindow(dlg, [&] { figures = SendOnce(dlg, imageSize); });
    return figures;
}
