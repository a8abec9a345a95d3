// The avail and data-match scan over the bytes that arrived since the last one.
#include <algorithm>
#include <cctype>
#include <utility>

#include "serial/dispatcher.h"
#include "serial/section_hold.h"

namespace ser {

// True when it delivered something and the handler asked for more.
bool TSerBaseDispatcher::ScanInput() {
  DWORD head;
  {
    SectionHold hold(InputLock);
    if (InBuf.empty()) return false;
    head = InHead;
  }
  {
    // Without a pattern to match nothing below changes but ScanPos: it
    // takes all the new bytes at once rather than one at a time.
    SectionHold hold(DispatcherLock);
    if (std::none_of(MatchTriggerList.begin(), MatchTriggerList.end(),
                     [](const TDataTrigger& t) { return t.PatternLength != 0; })) {
      ScanPos = head;
    }
  }
  while (ScanPos != head) {
    const DWORD p = ScanPos;
    BYTE input;
    {
      SectionHold hold(InputLock);
      if (InBuf.empty()) return false;  // released by a close
      input = InBuf[p];
    }
    DWORD longest = 0;
    std::vector<std::pair<DWORD, DWORD>> matched;  // handle, pattern length; last first
    {
      SectionHold hold(DispatcherLock);
      for (TDataTrigger& trigger : MatchTriggerList) {
        if (trigger.PatternLength == 0) continue;
        if (!trigger.Matched) {
          BYTE fed = trigger.IgnoreCase ? static_cast<BYTE>(std::toupper(input)) : input;
          MatchDataByte(trigger, fed);
        }
        if (trigger.Matched) longest = std::max(longest, trigger.PatternLength);
      }
      for (auto it = MatchTriggerList.rbegin(); it != MatchTriggerList.rend(); ++it) {
        if (it->PatternLength == 0 || !it->Matched) continue;
        it->Matched = 0;
        matched.emplace_back(it->Handle, it->PatternLength);
      }
    }
    ScanPos = (p + 1) % kInRingSize;
    if (matched.empty()) continue;

    bool result = false;
    DWORD threshold;
    {
      SectionHold hold(DispatcherLock);
      threshold = AvailThreshold;
    }
    DWORD throughP = 0;  // unread bytes up to and including p
    {
      SectionHold hold(InputLock);
      DWORD offset = (p + kInRingSize - InTail) % kInRingSize;
      if (offset < UnreadCount()) throughP = offset + 1;
    }
    if (threshold != 0 && p != AvailNotifiedPos && throughP >= longest &&
        throughP - longest >= threshold) {
      DWORD count = throughP - longest;
      RecordLog(lkTrigger, lsAvail, count);
      result = DeliverNotification(kMsgAvail, count, 0);
      AvailNotifiedPos = p;
      ReadSinceAvail = 0;
      if (Closing) return false;
    }
    for (const auto& [handle, length] : matched) {
      RecordLog(lkTrigger, lsData, handle);
      result = DeliverNotification(kMsgDataMatch, handle, static_cast<WORD>(length));
      if (Closing) return false;
    }
    return result;
  }
  DWORD threshold;
  {
    SectionHold hold(DispatcherLock);
    threshold = AvailThreshold;
  }
  DWORD count = InputCount();
  // Head back where the last avail left it after a whole ring of reads: 8192
  // new bytes, to be announced, or reading would stop for good unannounced.
  const bool fresh = head != AvailNotifiedPos || ReadSinceAvail >= kInRingSize;
  if (threshold != 0 && fresh && count >= threshold) {
    RecordLog(lkTrigger, lsAvail, count);
    bool result = DeliverNotification(kMsgAvail, count, 0);
    AvailNotifiedPos = head;
    ReadSinceAvail = 0;
    return result;
  }
  return false;
}

}  // namespace ser
