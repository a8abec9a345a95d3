#include "platform/line_watch.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <system_error>

#include "platform/serial_device.h"

namespace {

constexpr int kWaitedLines = TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG;

}  // namespace

LineWaitVerdict JudgeLineWait(int result, int err, bool changeSeen, int& emptyReturns) {
  if (result != 0) {
    // A signal from elsewhere (a profiler, a debugger) is no fault of the
    // driver and does not count against it.
    if (err == EINTR) return LineWaitVerdict::kWatchOn;
    if (err == EIO) return LineWaitVerdict::kHangUp;
    // ENOTTY/EINVAL: the driver has no such wait. Anything else would most
    // likely come back at once if tried again.
    return LineWaitVerdict::kStop;
  }
  if (changeSeen) {
    emptyReturns = 0;
    return LineWaitVerdict::kWatchOn;
  }
  return ++emptyReturns < kMaxEmptyLineWaits ? LineWaitVerdict::kWatchOn : LineWaitVerdict::kStop;
}

DWORD SerialDevice::NoteLineChangesLocked(bool readLines) {
  LineSnapshot now;
  now.counts = ReadCounts();
  if (readLines && !now.counts) now.lines = ReadLines();
  const DWORD events = LineChangeEvents(eventBase, now);
  if (now.counts) eventBase.counts = now.counts;
  if (now.lines) eventBase.lines = now.lines;
  if (events != 0) {
    pendingEvents |= events;
    ++lineChanges_;
  }
  return events;
}

void SerialDevice::RebaseLinesLocked() {
  eventBase.counts = ReadCounts();
  eventBase.lines = eventBase.counts ? std::nullopt : ReadLines();
}

bool SerialDevice::LineWatchWantedLocked() const {
  return (mask & kLineWatchEvents) != 0 && (pendingEvents & mask & kLineWatchEvents) == 0;
}

void SerialDevice::StartLineWatchLocked() {
  if (lineWatcher_.joinable() || closing || hungUp || (mask & kLineWatchEvents) == 0) return;
  // A tty without modem lines (a pseudo-terminal) has nothing to wait for:
  // no thread. Line errors still come with the data, seen by WaitCommEvent.
  if (!ReadLines()) return;
  try {
    lineWatcher_ = std::thread([this] { LineWatchLoop(); });
  } catch (const std::system_error&) {
    // Without a thread the lines go unwatched; data and errors still arrive.
  }
}

// Runs until the close, a hang-up, or a driver that cannot wait for line
// changes; then ends and is joined by the close.
void SerialDevice::LineWatchLoop() {
  InterruptibleCall::AcceptInterrupts();
  int emptyReturns = 0;
  std::unique_lock lock(mutex);
  for (;;) {
    changed.wait(lock, [&] { return lineWatchStop_ || hungUp || LineWatchWantedLocked(); });
    if (lineWatchStop_ || hungUp) return;
    // The wait below only sees changes after it began: report first what
    // changed while the last events were still waiting to be taken.
    if (NoteLineChangesLocked(true) & mask) {
      Wake();
      continue;
    }
    const std::uint64_t changesBefore = lineChanges_;
    lock.unlock();
    int result = -1;
    int err = 0;
    const bool entered = lineWait_.Enter();
    if (entered) {
      result = ioctl(fd, TIOCMIWAIT, kWaitedLines);
      err = errno;
      lineWait_.Leave();
    }
    lock.lock();
    if (!entered || lineWatchStop_) return;
    const DWORD found = result == 0 ? NoteLineChangesLocked(true) : 0;
    if (found & mask) Wake();
    // The data path may have read the counters first; that change counts too.
    const bool changeSeen = found != 0 || lineChanges_ != changesBefore;
    switch (JudgeLineWait(result, err, changeSeen, emptyReturns)) {
      case LineWaitVerdict::kWatchOn:
        break;
      case LineWaitVerdict::kHangUp:
        NoteHangUpLocked();
        return;
      case LineWaitVerdict::kStop:
        return;
    }
  }
}
