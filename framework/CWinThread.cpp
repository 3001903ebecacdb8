#include "framework/CWinThread.h"

#include <memory>
#include <process.h>

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam) noexcept
    : m_pfnThreadProc(pfnThreadProc), m_pThreadParams(pParam) {}

CWinThread::~CWinThread() {
    if (m_hThread != nullptr)
        ::CloseHandle(m_hThread);
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize,
                              LPSECURITY_ATTRIBUTES lpSecurityAttrs) noexcept {
    if (m_hThread != nullptr || m_pfnThreadProc == nullptr)
        return FALSE;
    // Always start suspended: a thread that deletes its own object could otherwise finish before the
    // handle and id are stored in it.
    unsigned threadId = 0;
    const uintptr_t handle = ::_beginthreadex(lpSecurityAttrs, nStackSize, &CWinThread::ThreadEntry, this,
                                              dwCreateFlags | CREATE_SUSPENDED, &threadId);
    if (handle == 0)
        return FALSE;
    m_hThread = reinterpret_cast<HANDLE>(handle);
    m_nThreadID = threadId;
    if ((dwCreateFlags & CREATE_SUSPENDED) == 0)
        ::ResumeThread(m_hThread);
    return TRUE;
}

unsigned __stdcall CWinThread::ThreadEntry(void* pThis) {
    auto* self = static_cast<CWinThread*>(pThis);
    // Read everything now: an owner that set m_bAutoDelete to FALSE may delete the object at any time
    // after the thread ends, and must be able to rely on the thread not touching it after its procedure.
    const BOOL autoDelete = self->m_bAutoDelete;
    const AFX_THREADPROC proc = self->m_pfnThreadProc;
    const LPVOID param = self->m_pThreadParams;
    const UINT exitCode = proc(param);
    if (autoDelete)
        delete self;
    return exitCode;
}

DWORD CWinThread::ResumeThread() noexcept {
    return ::ResumeThread(m_hThread);
}

CWinThread* AFXAPI AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority, UINT nStackSize,
                                  DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    if (pfnThreadProc == nullptr)
        return nullptr;
    auto thread = std::make_unique<CWinThread>(pfnThreadProc, pParam);
    if (!thread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs))
        return nullptr;
    ::SetThreadPriority(thread->m_hThread, nPriority);
    CWinThread* const result = thread.release();
    // From here on an auto-deleting thread may end and free the object at any moment.
    if ((dwCreateFlags & CREATE_SUSPENDED) == 0)
        ::ResumeThread(result->m_hThread);
    return result;
}
