// Turning two readings of a tty's lines into device events, and the line
// watcher's verdict after a wait: tables, no device needed.
#include <sys/ioctl.h>

#include <cerrno>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "platform/line_events.h"
#include "platform/line_watch.h"
#include "platform/serial.h"

namespace {

LineCounts Counts(int cts, int dsr, int dcd, int ring) {
  LineCounts counts;
  counts.cts = cts;
  counts.dsr = dsr;
  counts.dcd = dcd;
  counts.ring = ring;
  return counts;
}

LineSnapshot Lines(int lines) {
  return LineSnapshot{lines, std::nullopt};
}

LineSnapshot Counted(const LineCounts& counts) {
  return LineSnapshot{std::nullopt, counts};
}

struct Case {
  const char* what;
  LineSnapshot before;
  LineSnapshot now;
  DWORD events;
};

TEST(LineChangeEvents, Table) {
  LineCounts errors;
  LineCounts frame = errors;
  frame.frame = 1;
  LineCounts parity = errors;
  parity.parity = 3;
  LineCounts overrun = errors;
  overrun.overrun = 1;
  LineCounts bufferOverrun = errors;
  bufferOverrun.bufferOverrun = 1;
  LineCounts brk = errors;
  brk.breaks = 1;
  LineCounts frameAndBreak = frame;
  frameAndBreak.breaks = 2;

  const std::vector<Case> cases = {
      {"nothing changed", Counted(Counts(1, 2, 3, 4)), Counted(Counts(1, 2, 3, 4)), 0},
      {"cts counter", Counted(Counts(0, 0, 0, 0)), Counted(Counts(1, 0, 0, 0)), EV_CTS},
      // Two changes (a pulse) leave the level as it was; the counter shows it.
      {"cts pulse", Counted(Counts(0, 0, 0, 0)), Counted(Counts(2, 0, 0, 0)), EV_CTS},
      {"dsr counter", Counted(Counts(0, 5, 0, 0)), Counted(Counts(0, 6, 0, 0)), EV_DSR},
      {"dcd counter", Counted(Counts(0, 0, 7, 0)), Counted(Counts(0, 0, 8, 0)), EV_RLSD},
      {"ring counter", Counted(Counts(0, 0, 0, 0)), Counted(Counts(0, 0, 0, 1)), EV_RING},
      {"all four", Counted(Counts(0, 0, 0, 0)), Counted(Counts(1, 1, 1, 1)),
       EV_CTS | EV_DSR | EV_RLSD | EV_RING},
      {"counter wrapped", Counted(Counts(0x7FFFFFFF, 0, 0, 0)),
       Counted(Counts(static_cast<int>(0x80000000u), 0, 0, 0)), EV_CTS},
      {"frame error", Counted(errors), Counted(frame), EV_ERR},
      {"parity error", Counted(errors), Counted(parity), EV_ERR},
      {"overrun", Counted(errors), Counted(overrun), EV_ERR},
      {"driver buffer overrun", Counted(errors), Counted(bufferOverrun), EV_ERR},
      {"break", Counted(errors), Counted(brk), EV_BREAK},
      {"frame error and break", Counted(errors), Counted(frameAndBreak), EV_ERR | EV_BREAK},
      {"cts rises", Lines(0), Lines(TIOCM_CTS), EV_CTS},
      {"cts falls", Lines(TIOCM_CTS | TIOCM_DSR), Lines(TIOCM_DSR), EV_CTS},
      {"dsr rises", Lines(TIOCM_CTS), Lines(TIOCM_CTS | TIOCM_DSR), EV_DSR},
      {"carrier falls", Lines(TIOCM_CAR), Lines(0), EV_RLSD},
      {"ring starts: not yet a ring", Lines(0), Lines(TIOCM_RNG), 0},
      {"ring ends: trailing edge", Lines(TIOCM_RNG), Lines(0), EV_RING},
      {"own lines are no events", Lines(0), Lines(TIOCM_DTR | TIOCM_RTS), 0},
      {"lines unchanged", Lines(TIOCM_CTS | TIOCM_CAR), Lines(TIOCM_CTS | TIOCM_CAR), 0},
      {"nothing to compare", LineSnapshot{}, Lines(TIOCM_CTS), 0},
      {"counters then lines: not comparable", Counted(Counts(0, 0, 0, 0)), Lines(TIOCM_CTS), 0},
      {"pty: neither", LineSnapshot{}, LineSnapshot{}, 0},
      {"both parts: union", LineSnapshot{TIOCM_RNG, Counts(0, 0, 0, 0)},
       LineSnapshot{0, Counts(0, 1, 0, 0)}, EV_DSR | EV_RING},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LineChangeEvents(c.before, c.now), c.events) << c.what;
  }
}

TEST(JudgeLineWait, AChangeKeepsWatchingAndForgivesEmptyReturns) {
  int empty = 0;
  for (int i = 0; i < kMaxEmptyLineWaits - 1; ++i) {
    EXPECT_EQ(JudgeLineWait(0, 0, false, empty), LineWaitVerdict::kWatchOn);
  }
  EXPECT_EQ(JudgeLineWait(0, 0, true, empty), LineWaitVerdict::kWatchOn);
  EXPECT_EQ(empty, 0);
  EXPECT_EQ(JudgeLineWait(0, 0, false, empty), LineWaitVerdict::kWatchOn);
}

TEST(JudgeLineWait, ADriverThatKeepsReturningWithoutChangeIsDropped) {
  int empty = 0;
  int waits = 0;
  while (JudgeLineWait(0, 0, false, empty) == LineWaitVerdict::kWatchOn) {
    ASSERT_LT(++waits, 1000) << "never gives up: the watcher would spin";
  }
  EXPECT_EQ(waits + 1, kMaxEmptyLineWaits);
}

TEST(JudgeLineWait, Failures) {
  struct {
    int err;
    LineWaitVerdict verdict;
  } const cases[] = {
      {EINTR, LineWaitVerdict::kWatchOn},  // someone else's signal
      {EIO, LineWaitVerdict::kHangUp},     // unplugged
      {ENOTTY, LineWaitVerdict::kStop},    // no such wait in this driver
      {EINVAL, LineWaitVerdict::kStop},   {EFAULT, LineWaitVerdict::kStop},
  };
  for (const auto& c : cases) {
    int empty = 3;
    EXPECT_EQ(JudgeLineWait(-1, c.err, false, empty), c.verdict) << "errno " << c.err;
    EXPECT_EQ(empty, 3) << "a failure is not an empty return, errno " << c.err;
  }
  // Interruptions never add up to giving up.
  int empty = 0;
  for (int i = 0; i < 3 * kMaxEmptyLineWaits; ++i) {
    ASSERT_EQ(JudgeLineWait(-1, EINTR, false, empty), LineWaitVerdict::kWatchOn);
  }
}

}  // namespace
