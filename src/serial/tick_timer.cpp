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
  DWORD elapsed =
      now >= timer.StartTick ? now - timer.StartTick : now + kTickRange - timer.StartTick;
  return elapsed > timer.ExpiryTick - timer.StartTick;
}

}  // namespace ser
