#include "serial/tick_timer.h"

#include <algorithm>

#include "serial/ms_clock.h"

namespace ser {

DWORD CurrentTick() {
  return MillisecondClock() / kTickMilliseconds;
}

TTickTimer StartTickTimer(DWORD now, DWORD ticks) {
  return TTickTimer{now, now + std::min(ticks, kMaxTimerTicks)};
}

bool TickTimerExpired(const TTickTimer& timer, DWORD now) {
  if (timer.ExpiryTick < now) return true;
  // The tick count wrapped after the start: the expiry lies "ahead" only
  // because it has not wrapped with it.
  return now < timer.StartTick && timer.ExpiryTick - now < kMaxTimerTicks;
}

}  // namespace ser
