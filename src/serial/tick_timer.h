// 55 ms tick timers on the millisecond clock, with a wrap rule that keeps a
// timer correct when the tick count passes 2^32 / 55.
#pragma once

#include "platform/win_types.h"

namespace ser {

// Longest timer in ticks: about 24.8 days, half the tick range.
constexpr DWORD kMaxTimerTicks = 39045157;
constexpr DWORD kTickMilliseconds = 55;

struct TTickTimer {
  DWORD StartTick = 0;
  DWORD ExpiryTick = 0;
};

// The current 55 ms tick of the millisecond clock.
DWORD CurrentTick();

// A timer that expires `ticks` ticks after `now` (at most kMaxTimerTicks).
TTickTimer StartTickTimer(DWORD now, DWORD ticks);

// Expired when the expiry lies below the current tick, or when the tick count
// has wrapped below the start while the expiry is less than kMaxTimerTicks ahead.
bool TickTimerExpired(const TTickTimer& timer, DWORD now);

}  // namespace ser
