// Thread priorities and RS-485 transmit control.
#include <algorithm>

#include "platform/threads.h"
#include "serial/dispatcher.h"
#include "serial/section_hold.h"
#include "serial/thread_class.h"

namespace ser {

namespace {

// The seven steps of the platform's priority scale, lowest first.
constexpr int kSteps[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,
                          THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                          THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                          THREAD_PRIORITY_TIME_CRITICAL};
constexpr int kNormalStep = 3;

int PriorityAbove(int stepsAboveNormal) {
  return kSteps[std::clamp(kNormalStep + stepsAboveNormal, 0, 6)];
}

}  // namespace

void TSerBaseDispatcher::ApplyPriorities() {
  SectionHold hold(DispatcherLock);
  std::lock_guard<std::mutex> refs(ThreadRefLock);
  if (ComThreadRef) SetThreadPriority(ComThreadRef->ThreadHandle(), PriorityAbove(ThreadBoost));
  if (DispThreadRef) SetThreadPriority(DispThreadRef->ThreadHandle(), PriorityAbove(ThreadBoost));
  if (OutThreadRef) {
    SetThreadPriority(OutThreadRef->ThreadHandle(), PriorityAbove(ThreadBoost + (RS485On ? 1 : 0)));
  }
}

void TSerBaseDispatcher::ApplyThreadBoost(BYTE boost) {
  {
    SectionHold hold(DispatcherLock);
    if (boost == ThreadBoost) return;
    ThreadBoost = boost;
  }
  ApplyPriorities();
}

// Where the driver has no RS-485 support the mode stays as state: RTS then
// toggles through the flow-control settings alone.
void TSerBaseDispatcher::ApplyRS485Mode(bool on) {
  {
    SectionHold hold(DispatcherLock);
    RS485On = on;
    std::shared_lock<std::shared_mutex> device(DeviceLock);
    HANDLE h = DeviceHandle.load();
    if (h != INVALID_HANDLE_VALUE) SetRS485Mode(h, on ? TRUE : FALSE);
  }
  ApplyPriorities();
}

}  // namespace ser
