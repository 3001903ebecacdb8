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
