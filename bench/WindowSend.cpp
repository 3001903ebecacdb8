#include "bench/WindowSend.h"

#include "app/NimbrelDlg.h"
#include "engine/ImageFormat.h"
#include "engine/ImageSendThread.h"
#include "engine/TransferState.h"
#include "link/DeviceLink.h"

#include <commctrl.h>

#include <memory>

namespace {

CNimbrelDlg* g_pBenchDlg = nullptr;
std::uint32_t g_benchImageSize = 0;
TransferFigures g_benchFigures;
constexpr UINT kStartDelayMs = 500;

// Handles the window's messages until the sender has ended or raised g_bTransferDone, sleeping between
// messages, as the update run's own wait does.
void PumpUntilSent(HANDLE thread) {
    while (::WaitForSingleObject(thread, 0) != WAIT_OBJECT_0 && g_bTransferDone.load() == 0) {
        MSG msg;
        if (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        } else {
            ::MsgWaitForMultipleObjectsEx(1, &thread, 50, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
    }
}

void SendOnce() {
    LinkOpenResult pipe = OpenPipeOnce(g_szPipeToDevice);
    BYTE* image = MakeBenchImage(g_benchImageSize);
    if (!pipe.handle.IsValid() || !image) {
        std::free(image);
        return;
    }
    g_pImageData = image;
    g_cbImage = g_benchImageSize;
    g_cbSent = 0;
    g_bTransferDone.store(0);
    std::unique_ptr<CWinThread> sender(
        AfxBeginThread(ImageSendThread, g_pBenchDlg, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
    if (!sender) {
        std::free(image);
        return;
    }
    sender->m_bAutoDelete = FALSE;
    g_hDataPipe = pipe.handle.Release();
    const double begin = SecondsNow();
    sender->ResumeThread();
    PumpUntilSent(sender->m_hThread);
    g_benchFigures.seconds = SecondsNow() - begin;
    ::WaitForSingleObject(sender->m_hThread, INFINITE);
    g_benchFigures.ok = g_bTransferFailed.load() == 0;
    g_benchFigures.bytes = IMAGE_COMMAND_SIZE + (g_benchImageSize - IMAGE_HEADER_SIZE);
    ReadPeakMemory(g_benchFigures);
}

// Runs once inside the window's modal loop, as the click on Update File does.
void CALLBACK StartSend(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    SendOnce();
    g_pBenchDlg->EndDialog(IDOK);
}

} // namespace

TransferFigures RunWindowSend(std::uint32_t imageSize) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);

    g_benchFigures = TransferFigures{};
    g_benchImageSize = imageSize;
    CNimbrelDlg dlg;
    g_pBenchDlg = &dlg;
    ::SetTimer(nullptr, 0, kStartDelayMs, StartSend);
    dlg.DoModal();
    g_pBenchDlg = nullptr;
    return g_benchFigures;
}
