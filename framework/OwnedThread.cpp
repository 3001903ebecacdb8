#include "framework/OwnedThread.h"

std::unique_ptr<CWinThread> StartOwnedThread(AFX_THREADPROC proc, LPVOID param) {
    std::unique_ptr<CWinThread> thread(
        AfxBeginThread(proc, param, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
    if (!thread)
        return nullptr;
    // Read by the thread when it starts: set before it runs.
    thread->m_bAutoDelete = FALSE;
    thread->ResumeThread();
    return thread;
}

void WaitPumpingMessages(HANDLE thread, const std::function<bool()>& done) {
    // Only bounds a wake-up that could otherwise be missed; every message and the worker's end wake it.
    constexpr DWORD WAKE_CHECK_MS = 50;
    bool quitSeen = false;
    int quitCode = 0;
    while (::WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) {
        MSG msg;
        if (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quitSeen = true;
                quitCode = static_cast<int>(msg.wParam);
            } else {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        } else {
            ::MsgWaitForMultipleObjectsEx(1, &thread, WAKE_CHECK_MS, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
        if (done && done())
            break;
    }
    if (quitSeen)
        ::PostQuitMessage(quitCode);
}
