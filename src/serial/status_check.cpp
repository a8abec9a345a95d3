// The status and timer checks the dispatch thread runs in every pass.
#include "serial/dispatcher.h"
#include "serial/section_hold.h"
#include "serial/tick_timer.h"

namespace ser {

namespace {

bool Takes(const TStatusTrigger& trigger) {
  return trigger.Active && !trigger.Hit;
}

}  // namespace

// Fires the first active status trigger whose condition holds; returns the
// result of its delivery, false when none fired.
bool TSerBaseDispatcher::StatusCheck() {
  bool needOutput = false;
  {
    SectionHold hold(DispatcherLock);
    for (const TStatusTrigger& trigger : StatusTriggerList) {
      if (Takes(trigger) && (trigger.Kind == stOutbuffFree || trigger.Kind == stOutbuffUsed)) {
        needOutput = true;
      }
    }
  }
  DWORD used = 0, freeSpace = 0;
  if (needOutput) {
    SectionHold hold(OutputLock);
    used = OutputUsed();
    freeSpace = OutSize - used;
  }
  DWORD handle = 0;
  WORD report = 0;
  bool fired = false;
  {
    SectionHold hold(DispatcherLock);
    for (TStatusTrigger& trigger : StatusTriggerList) {
      if (!Takes(trigger)) continue;
      switch (static_cast<TStatusKind>(trigger.Kind)) {
        case stNone:
          break;
        case stModemStatus:
          fired = (((trigger.Value & 0xFF) ^ ModemStatus) & (trigger.Value >> 8)) != 0;
          break;
        case stLineError: {
          DWORD errors = LineErrors;
          fired = (trigger.Value & errors) != 0;
          if (fired) trigger.Value = static_cast<WORD>(errors);
          break;
        }
        case stOutbuffFree:
          fired = freeSpace >= trigger.Value;
          report = static_cast<WORD>(freeSpace);
          break;
        case stOutbuffUsed:
          fired = used <= trigger.Value;
          report = static_cast<WORD>(used);
          break;
        case stOutSent:
          fired = OutputSent.exchange(false);
          break;
      }
      if (fired) {
        trigger.Active = 0;
        trigger.Hit = 1;
        StatusHit = true;
        handle = trigger.Handle;
        if (trigger.Kind != stOutbuffFree && trigger.Kind != stOutbuffUsed) report = 0;
        break;
      }
    }
  }
  if (!fired) return false;
  RecordLog(lkTrigger, lsStatus, handle);
  return DeliverNotification(kMsgStatus, handle, report);
}

void TSerBaseDispatcher::ClearStatusHits() {
  SectionHold hold(DispatcherLock);
  for (TStatusTrigger& trigger : StatusTriggerList) trigger.Hit = 0;
  StatusHit = false;
}

// Fires the first active timer trigger that has expired.
bool TSerBaseDispatcher::TimerCheck() {
  const DWORD now = CurrentTick();
  DWORD handle = 0;
  {
    SectionHold hold(DispatcherLock);
    for (TTimerTrigger& trigger : TimerTriggerList) {
      if (!trigger.Active || !TickTimerExpired({trigger.StartTick, trigger.ExpiryTick}, now)) {
        continue;
      }
      trigger.Active = 0;
      handle = trigger.Handle;
      break;
    }
  }
  if (handle == 0) return false;
  RecordLog(lkTrigger, lsTimer, handle);
  return DeliverNotification(kMsgTimer, handle, 0);
}

}  // namespace ser
