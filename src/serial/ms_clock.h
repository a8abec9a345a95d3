// The serial line's time base: a millisecond clock and 55 ms tick timers.
#pragma once

#include "platform/win_types.h"

namespace ser {

// Milliseconds from the high-resolution counter (frequency / 1000, rounded up
// when the remainder exceeds 500), or the multimedia timer without one.
DWORD MillisecondClock();

}  // namespace ser
