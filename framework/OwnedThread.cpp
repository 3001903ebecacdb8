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

bool WaitLettingSentMessagesThrough(HANDLE thread, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        const DWORD woken = ::MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
        if (woken == WAIT_OBJECT_0)
            return true;
        if (woken != WAIT_OBJECT_0 + 1)
            return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
        // Peeking carries out the sent messages; with this filter it takes no posted one.
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
