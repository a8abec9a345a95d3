// Adding, clearing, saving and restoring the timer, data-match and status triggers.
#include <algorithm>
#include <cctype>

#include "serial/dispatcher.h"
#include "serial/result_codes.h"
#include "serial/section_hold.h"
#include "serial/tick_timer.h"

namespace ser {

int TSerBaseDispatcher::AddTimerTrigger(DWORD ticks) {
  SectionHold hold(DispatcherLock);
  TTickTimer timer = StartTickTimer(CurrentTick(), ticks);
  TTimerTrigger trigger;
  trigger.Handle = NextTriggerHandle++;
  trigger.StartTick = timer.StartTick;
  trigger.ExpiryTick = timer.ExpiryTick;
  trigger.Active = 1;
  TimerTriggerList.push_back(trigger);
  return static_cast<int>(trigger.Handle);
}

int TSerBaseDispatcher::AddDataTrigger(const std::string& pattern, bool ignoreCase) {
  if (pattern.empty() || pattern.size() > static_cast<size_t>(kMaxPatternLength)) {
    return ecBadArgument;
  }
  SectionHold hold(DispatcherLock);
  TDataTrigger trigger;
  trigger.Handle = NextTriggerHandle++;
  trigger.PatternLength = static_cast<DWORD>(pattern.size());
  trigger.IgnoreCase = ignoreCase ? 1 : 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    BYTE b = static_cast<BYTE>(pattern[i]);
    trigger.Pattern[i] = ignoreCase ? static_cast<BYTE>(std::toupper(b)) : b;
  }
  MatchTriggerList.push_back(trigger);
  return static_cast<int>(trigger.Handle);
}

// The port tells the kind of a status notification by the low three bits of
// the handle, so status handles carry it there.
int TSerBaseDispatcher::AddStatusTrigger(TStatusKind kind, WORD value) {
  SectionHold hold(DispatcherLock);
  TStatusTrigger trigger;
  trigger.Handle = (NextTriggerHandle++ << 3) | kind;
  trigger.Kind = kind;
  trigger.Value = value;
  trigger.Active = 1;
  StatusTriggerList.push_back(trigger);
  return static_cast<int>(trigger.Handle);
}

void TSerBaseDispatcher::ClearTriggers() {
  SectionHold hold(DispatcherLock);
  TimerTriggerList.clear();
  MatchTriggerList.clear();
  StatusTriggerList.clear();
  AvailThreshold = 0;
  NextTriggerHandle = 1;
}

void TSerBaseDispatcher::SaveTriggers(TTriggerSave& save) {
  SectionHold hold(DispatcherLock);
  save.AvailThreshold = AvailThreshold;
  save.TimerTriggers = TimerTriggerList;
  save.DataTriggers = MatchTriggerList;
  save.StatusTriggers = StatusTriggerList;
}

void TSerBaseDispatcher::RestoreTriggers(const TTriggerSave& save) {
  SectionHold hold(DispatcherLock);
  AvailThreshold = save.AvailThreshold;
  TimerTriggerList.clear();
  MatchTriggerList.clear();
  StatusTriggerList.clear();
  if (save.TimerTriggers) TimerTriggerList = *save.TimerTriggers;
  if (save.DataTriggers) MatchTriggerList = *save.DataTriggers;
  if (save.StatusTriggers) StatusTriggerList = *save.StatusTriggers;
  // New triggers must not take a handle a restored one carries.
  DWORD highest = 0;
  for (const TTimerTrigger& t : TimerTriggerList) highest = std::max(highest, t.Handle);
  for (const TDataTrigger& t : MatchTriggerList) highest = std::max(highest, t.Handle);
  for (const TStatusTrigger& t : StatusTriggerList) highest = std::max(highest, t.Handle >> 3);
  NextTriggerHandle = std::max(NextTriggerHandle, highest + 1);
}

}  // namespace ser
