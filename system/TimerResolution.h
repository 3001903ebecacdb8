#pragma once

#include <windows.h>

// Raises the system timer resolution to 1 ms for as long as it lives. Without it Sleep(1) on Windows sleeps
// up to a whole scheduler tick (about 15.6 ms), which would stretch the 1 ms polls of the bounded pipe waits
// sixteenfold. Each worker that polls holds one for its whole run; the previous resolution comes back when
// the last holder ends.
class ScopedTimerResolution {
public:
    ScopedTimerResolution();
    ~ScopedTimerResolution();

    ScopedTimerResolution(const ScopedTimerResolution&) = delete;
    ScopedTimerResolution& operator=(const ScopedTimerResolution&) = delete;

    // Whether the system granted the 1 ms resolution.
    bool IsRaised() const { return m_raised; }

private:
    bool m_raised;
};
