// The modem-line watcher's policy: what it does after one wait for a line
// change (TIOCMIWAIT) returned. Kept apart so it can be checked without a UART.
#pragma once

enum class LineWaitVerdict {
  kWatchOn,  // wait for the next change
  kHangUp,   // the device is gone: note the hang-up and stop
  kStop,     // the driver cannot wait for line changes, or cannot be trusted to
};

// Returns in a row that showed no change after which the driver is not
// trusted: waiting on would spin a core.
constexpr int kMaxEmptyLineWaits = 8;

// `result` and `err` are the wait's return value and errno, `changeSeen`
// whether a change of the lines or counters was found since it began;
// `emptyReturns` carries the count of returns in a row that showed nothing.
LineWaitVerdict JudgeLineWait(int result, int err, bool changeSeen, int& emptyReturns);
