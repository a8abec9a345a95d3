// Which device events lie between two readings of a tty's modem lines and
// driver counters: the pure part of modem-line and line-error reporting.
#pragma once

#include <optional>

#include "win_types.h"

// The driver's counters (TIOCGICOUNT), where it keeps them. The modem-line
// counters count every change, so they show pulses a level reading misses.
struct LineCounts {
  int frame = 0;
  int parity = 0;
  int overrun = 0;
  int bufferOverrun = 0;
  int breaks = 0;
  int cts = 0;
  int dsr = 0;
  int dcd = 0;
  int ring = 0;
};

// One reading of a tty; each part is missing where the driver does not report it.
struct LineSnapshot {
  std::optional<int> lines;  // TIOCM_* bits from TIOCMGET
  std::optional<LineCounts> counts;
};

// EV_CTS, EV_DSR, EV_RLSD, EV_RING, EV_ERR and EV_BREAK for what changed from
// `before` to `now`, judged on the parts both readings have. A ring is its
// trailing edge (the line falls), as the counters count it.
DWORD LineChangeEvents(const LineSnapshot& before, const LineSnapshot& now);
