#pragma once

#include "system/UniqueHandle.h"

#include <string>

// One update of the device at a time on this PC. A real device has one data endpoint: two programs writing
// into it at once would interleave their images and corrupt the firmware. The lock is a named mutex in the
// global namespace, so that it covers every copy of both programs, in every session of the PC.
//
// The mutex belongs to the thread that took it: Take and Release are called on the run's thread. The handle
// stays open from the first Take to the object's end, so that a holder killed meanwhile leaves the mutex
// abandoned (rather than gone) and the next run can say so.
class UpdateLock {
public:
    enum class Taken {
        Free,          // taken; nobody held it
        AfterAbandon,  // taken; a program that held it ended without letting it go (killed, crashed)
        HeldElsewhere, // another run holds it (or the lock cannot be had at all): nothing may start
    };

    UpdateLock() = default;
    ~UpdateLock() { Release(); }
    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;

    Taken Take();
    // Does nothing when not taken.
    void Release();
    bool IsTaken() const { return m_bTaken; }

    // "Global\NimbrelUpdateRun"; with NIMBREL_RUN_LOCK_SCOPE set (tests running side by side, each against a
    // virtual device of its own), "Global\NimbrelUpdateRun-<scope>".
    static std::string Name();

private:
    UniqueHandle m_mutex;
    bool m_bTaken = false;
};
