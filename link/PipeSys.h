#pragma once

#include <windows.h>

// The system calls that the bounded pipe operations make. The operations reach the system only through this
// interface, so tests can script each outcome (pending, time-out, a cancel that loses the race) that a real
// pipe produces only by chance. Failing calls report their error through SetLastError, as the system does.
class PipeSys {
public:
    virtual ~PipeSys() = default;
    virtual BOOL WriteFile(HANDLE h, const void* data, DWORD length, DWORD* moved, OVERLAPPED* ov) = 0;
    virtual BOOL ReadFile(HANDLE h, void* data, DWORD length, DWORD* moved, OVERLAPPED* ov) = 0;
    virtual BOOL GetOverlappedResult(HANDLE h, OVERLAPPED* ov, DWORD* moved, BOOL wait) = 0;
    virtual BOOL CancelIo(HANDLE h) = 0;
    virtual void Sleep(DWORD ms) = 0;
};

// The real system calls; shared by every caller (it holds no state).
PipeSys& RealPipeSys();
