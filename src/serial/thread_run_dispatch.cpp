// The dispatch thread: wakes on a device event or every 50 ms, reads the
// device into the input ring, runs the trigger checks and delivers.
#include "platform/serial.h"
#include "serial/dispatcher.h"

namespace ser {

namespace {

constexpr DWORD kPassInterval = 50;     // ms between passes without a device event
constexpr DWORD kModemEvents = 0x2138;  // ring trailing edge, EV_RING, EV_RLSD, EV_DSR, EV_CTS

}  // namespace

void TSerBaseDispatcher::RunDispatchThread() {
  Signal(GeneralEvent);
  bool stopped = false;
  while (!StopRequested && !Closing) {
    WaitForSingleObject(ComEvent.load(), kPassInterval);
    if (StopRequested) {
      stopped = true;
      break;
    }
    EventPass();
    IdlePass();
  }
  // A close deferred by a delivery leaves the release to this thread, as
  // does a stop that gave up waiting for it; any other stop is finished by
  // the thread that asked for it.
  if (Closing) ReleaseOnExit = true;
  if (!stopped) Signal(GeneralEvent);
}

// Runs status checks until one delivers nothing; false when a close came.
bool TSerBaseDispatcher::RunStatusChecks() {
  while (StatusCheck()) {
    if (Closing) return false;
  }
  if (Closing) return false;
  if (StatusHit) ClearStatusHits();
  return true;
}

void TSerBaseDispatcher::EventPass() {
  const DWORD mask = EventMask;
  if (mask & kModemEvents) {
    RefreshModemChanges(mask);
    if (!RunStatusChecks()) return;
  }
  if (mask & (EV_BREAK | EV_ERR)) {
    RefreshLineErrors();
    if (!RunStatusChecks()) return;
  }
  ReadIntoRing();
  ReadModemStatus(0xFF);
  if (!RunStatusChecks()) return;
  while (ScanInput()) {
    if (Closing) return;
  }
  if (Closing) return;
  if (StatusHit) ClearStatusHits();
  Signal(ReadyEvent);
}

void TSerBaseDispatcher::IdlePass() {
  if (Closing) return;
  StatusHit = false;
  while (!Closing && (StatusCheck() || TimerCheck())) {
  }
  if (StatusHit) ClearStatusHits();
}

}  // namespace ser
