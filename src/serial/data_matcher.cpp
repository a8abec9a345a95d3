#include "serial/triggers.h"

namespace ser {

void MatchDataByte(TDataTrigger& trigger, BYTE input) {
  DWORD length = trigger.PatternLength;
  if (length > static_cast<DWORD>(kMaxPatternLength)) length = kMaxPatternLength;
  bool started = false;  // only one counter may open a new partial match per byte
  for (DWORD i = 0; i < length; ++i) {
    DWORD& count = trigger.PartialMatch[i];
    if (count > 0 && trigger.Pattern[count] == input) {
      ++count;
      if (count == length) {
        trigger.Matched = 1;
        for (DWORD& c : trigger.PartialMatch) c = 0;
        return;
      }
      continue;
    }
    // Idle, or a partial match that broke off: it may begin again here.
    if (input == trigger.Pattern[0] && !started) {
      started = true;
      count = 1;
      if (length == 1) {
        trigger.Matched = 1;
        for (DWORD& c : trigger.PartialMatch) c = 0;
        return;
      }
    } else {
      count = 0;
    }
  }
}

}  // namespace ser
