#include "system/TimerResolution.h"

#include <mmsystem.h>

namespace {
constexpr UINT PERIOD_MS = 1;
}

ScopedTimerResolution::ScopedTimerResolution() : m_raised(::timeBeginPeriod(PERIOD_MS) == TIMERR_NOERROR) {}

ScopedTimerResolution::~ScopedTimerResolution() {
    if (m_raised)
        ::timeEndPeriod(PERIOD_MS);
}
