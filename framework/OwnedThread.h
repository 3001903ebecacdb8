// Workers whose starter waits for them. The starter owns the thread object, so the handle it waits on stays
// valid until the wait is over, even when the worker has long finished.
#pragma once

#include "framework/CWinThread.h"

#include <functional>
#include <memory>

// Starts proc(param) at normal priority with the default stack: created suspended, handed to the caller
// (m_bAutoDelete FALSE), then resumed. Null when no thread could be started.
std::unique_ptr<CWinThread> StartOwnedThread(AFX_THREADPROC proc, LPVOID param);

// Handles the calling thread's messages, one per pass, until `thread` has ended or `done` (when given)
// returns true after a pass. Between messages the thread sleeps until the worker ends or a message arrives.
// A WM_QUIT seen meanwhile belongs to the loop that runs the window: it is posted again on the way out.
void WaitPumpingMessages(HANDLE thread, const std::function<bool()>& done = nullptr);

// Waits up to `timeoutMs` for `thread` to end, carrying out meanwhile only the calls that other threads make
// into this thread's windows (a worker's SendMessage): posted messages, ticks and input stay queued. For a
// wait inside a handler, where a worker that updates the window must be able to finish but nothing else of
// the window may run. Returns whether the thread has ended.
bool WaitLettingSentMessagesThrough(HANDLE thread, DWORD timeoutMs);
