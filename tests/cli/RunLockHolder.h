// Another update of a test's device, as far as the update lock goes: holds the lock of the programs started
// for that device until the object goes.
#pragma once

#include "system/UniqueHandle.h"
#include "tests/support/VirtualDevice.h"

#include <windows.h>

class RunLockHolder {
public:
    explicit RunLockHolder(const VirtualDevice& device)
        : m_mutex(::CreateMutexA(nullptr, TRUE, device.RunLockName().c_str())) {}
    ~RunLockHolder() { ::ReleaseMutex(m_mutex.Get()); }
    RunLockHolder(const RunLockHolder&) = delete;
    RunLockHolder& operator=(const RunLockHolder&) = delete;
    bool Held() const { return m_mutex.IsValid(); }

private:
    UniqueHandle m_mutex;
};
