// 55 ms tick timers on the millisecond clock. The clock wraps at 2^32 ms, so
// the tick count runs from 0 to kTickRange - 1 and then starts again at 0.
#pragma once

#include "platform/win_types.h"

namespace ser {

// Longest timer in ticks: about 24.8 days, half the tick range.
constexpr DWORD kMaxTimerTicks = 39045157;
constexpr DWORD kTickMilliseconds = 55;
constexpr DWORD kTickRange = 0xFFFFFFFFu / kTickMilliseconds + 1;

struct TTickTimer {
  DWORD StartTick = 0;
  DWORD ExpiryTick = 0;
};

// The current 55 ms tick of the millisecond clock.
DWORD CurrentTick();

// A timer that expires `ticks` ticks after `now` (at most kMaxTimerTicks).
TTickTimer StartTickTimer(DWORD now, DWORD ticks);

// Expired once more ticks have passed since the start than the timer runs,
// counting across a wrap of the tick count.
bool TickTimerExpired(const TTickTimer& timer, DWORD now);

}  // namespace ser
