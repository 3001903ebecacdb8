#include "tests/engine/MainWindowSend.h"

#include "engine/ImageSendThread.h"
#include "engine/TransferState.h"

#include <commctrl.h>

#include <cstdlib>
#include <memory>

namespace {

CNimbrelDlg* g_pWindow = nullptr;
const std::function<void()>* g_pWork = nullptr;
constexpr UINT kStartDelayMs = 300;

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
    ::SetTimer(nullptr, 0, kStartDelayMs, RunWork);
    dlg.DoModal();
    g_pWindow = nullptr;
    g_pWork = nullptr;
}

bool SendFromMainWindow(CNimbrelDlg& dlg) {
    std::unique_ptr<CWinThread> sender(
        AfxBeginThread(ImageSendThread, &dlg, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
    if (!sender) {
        // The sender would have released them.
        std::free(g_pImageData);
        g_pImageData = nullptr;
        ::CloseHandle(g_hDataPipe);
        g_hDataPipe = INVALID_HANDLE_VALUE;
        return false;
    }
    sender->m_bAutoDelete = FALSE;
    sender->ResumeThread();
    HANDLE thread = sender->m_hThread;
    while (::WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) {
        MSG msg;
        if (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        } else {
            ::MsgWaitForMultipleObjectsEx(1, &thread, 50, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
    }
    return true;
}
