// The dispatch thread: wakes on a device event or every 50 ms, reads the
// device into the input ring, runs the trigger checks and delivers.
#include "platform/serial.h"
#include "serial/dispatcher.h"
#include "serial/ms_clock.h"

namespace ser {

namespace {

constexpr DWORD kPassInterval = 50;        // ms between passes without a device event
constexpr DWORD kModemEvents = 0x2138;     // ring trailing edge, EV_RING, EV_RLSD, EV_DSR, EV_CTS
constexpr DWORD kPresenceInterval = 1000;  // ms between looks at a quiet device

}  // namespace

void TSerBaseDispatcher::RunDispatchThread() {
  Signal(GeneralEvent);
  bool stopped = false;
  while (!StopRequested && !Closing) {
    const bool woken = WaitForSingleObject(ComEvent.load(), kPassInterval) == WAIT_OBJECT_0;
    if (StopRequested) {
      stopped = true;
      break;
    }
    EventPass();
    IdlePass();
    WatchPresence(woken && (EventMask & EV_ERR));
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

void TSerBaseDispatcher::WatchPresence(bool errorEvent) {
  if (Closing) return;
  if (Gone == DevicePresence::kPresent) {
    const DWORD now = MillisecondClock();
    if (!errorEvent && now - PresenceLookedAt < kPresenceInterval) return;
    PresenceLookedAt = now;
    const DevicePresence presence = ReadDevicePresence();
    if (presence == DevicePresence::kPresent) return;
    Gone = presence;
  }
  // A target added since (the port's window, when the device was gone at
  // its first look) is told at the next pass.
  if (GoneUntold()) DeliverNotification(kMsgDeviceGone, static_cast<WPARAM>(Gone.load()), 0);
}

void TSerBaseDispatcher::IdlePass() {
  if (Closing) return;
  StatusHit = false;
  while (!Closing && (StatusCheck() || TimerCheck())) {
  }
  if (StatusHit) ClearStatusHits();
}

}  // namespace ser
