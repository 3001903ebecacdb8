// Worker threads.
//
// Ownership: with m_bAutoDelete TRUE (the default) the thread owns its CWinThread object and deletes it,
// closing m_hThread, as the thread ends; the pointer that AfxBeginThread returns may then dangle as soon as
// the thread has run. A caller that waits on the thread's handle must own the object instead:
//
//     std::unique_ptr<CWinThread> worker(AfxBeginThread(Proc, param, THREAD_PRIORITY_NORMAL, 0,
//                                                       CREATE_SUSPENDED));
//     worker->m_bAutoDelete = FALSE;
//     worker->ResumeThread();
//     ... WaitForSingleObject(worker->m_hThread, ...) ...   // the handle stays valid until `worker` goes
//
// m_bAutoDelete is read once, when the thread starts: set it before ResumeThread and leave it alone after.
#pragma once

#include "framework/AfxCore.h"

typedef UINT(AFX_CDECL* AFX_THREADPROC)(LPVOID);

class CWinThread {
public:
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam) noexcept;
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;
    // Closes the thread handle; the thread itself is not stopped.
    virtual ~CWinThread();

    // Starts the thread (suspended if dwCreateFlags has CREATE_SUSPENDED). FALSE if it could not be started.
    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0,
                      LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr) noexcept;
    DWORD ResumeThread() noexcept;

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    BOOL m_bAutoDelete = TRUE;

private:
    static unsigned __stdcall ThreadEntry(void* pThis);

    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
};

// Starts pfnThreadProc(pParam) on a new thread with the given priority and stack size (0: the default),
// running at once unless dwCreateFlags has CREATE_SUSPENDED. Returns null if the thread could not start.
CWinThread* AFXAPI AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                                  int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                                  DWORD dwCreateFlags = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
