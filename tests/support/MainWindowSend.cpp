#include "tests/support/MainWindowSend.h"

#include "app/MainWindowSendUi.h"
#include "engine/ImageSendThread.h"
#include "engine/TransferState.h"
#include "framework/OwnedThread.h"

#include <commctrl.h>

#include <utility>

namespace {

CNimbrelDlg* g_pWindow = nullptr;
const std::function<void()>* g_pWork = nullptr;
constexpr UINT START_DELAY_MS = 300;

void CALLBACK RunWork(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    (*g_pWork)();
    g_pWindow->EndDialog(IDOK);
}

} // namespace

void RunInsideMainWindow(CNimbrelDlg& dlg, const std::function<void()>& work) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    g_pWindow = &dlg;
    g_pWork = &work;
    // A thread timer: the modal loop dispatches it once the window is up.
    ::SetTimer(nullptr, 0, START_DELAY_MS, RunWork);
    dlg.DoModal();
    g_pWindow = nullptr;
    g_pWork = nullptr;
}

bool SendFromMainWindow(CNimbrelDlg& dlg) {
    MainWindowSendUi ui(dlg);
    // The transfer variables as prepared go back through the same hand-over as in an update run.
    UniqueHandle pipe(g_hDataPipe);
    CHeapBuffer image(g_pImageData);
    const std::uint32_t cbImage = g_cbImage;
    g_hDataPipe = INVALID_HANDLE_VALUE;
    g_pImageData = nullptr;
    const auto sender = StartImageSender(ui, std::move(pipe), std::move(image), cbImage);
    if (!sender)
        return false;
    WaitPumpingMessages(sender->m_hThread);
    return true;
}
