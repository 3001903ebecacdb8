#include "link/TimerResolution.h"

#include <mmsystem.h>

namespace {
constexpr UINT kPeriodMs = 1;
}

ScopedTimerResolution::ScopedTimerResolution() : m_raised(::timeBeginPeriod(kPeriodMs) == TIMERR_NOERROR) {}

ScopedTimerResolution::~ScopedTimerResolution() {
    if (m_raised)
        ::timeEndPeriod(kPeriodMs);
}
