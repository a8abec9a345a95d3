// Trigger records of the timer, data-match and status checks, and the record
// that carries them from one open of a port to the next.
#pragma once

#include <optional>
#include <vector>

#include "platform/win_types.h"

namespace ser {

constexpr int kMaxPatternLength = 22;  // partial matches a data trigger tracks
constexpr int kPatternBytes = 24;

struct TTimerTrigger {
  DWORD Handle = 0;
  DWORD StartTick = 0;
  DWORD ExpiryTick = 0;
  DWORD UserData1 = 0;  // the two words only the trigger's creator uses
  DWORD UserData2 = 0;
  DWORD Active = 0;
};

struct TDataTrigger {
  DWORD Handle = 0;
  DWORD PatternLength = 0;  // 0 = empty
  DWORD PartialMatch[kMaxPatternLength] = {};
  DWORD Matched = 0;
  DWORD IgnoreCase = 0;
  BYTE Pattern[kPatternBytes] = {};
};

// Status trigger kinds.
enum TStatusKind : DWORD {
  stNone = 0,
  stModemStatus = 1,
  stLineError = 2,
  stOutbuffFree = 3,
  stOutbuffUsed = 4,
  stOutSent = 5,
};

struct TStatusTrigger {
  DWORD Handle = 0;  // low three bits: the kind
  DWORD Kind = stNone;
  WORD Value = 0;
  BYTE Active = 0;
  BYTE Hit = 0;
};

// What SaveTriggers keeps between a close and the next open; a list that is
// absent is skipped by RestoreTriggers.
struct TTriggerSave {
  DWORD AvailThreshold = 0;
  std::optional<std::vector<TTimerTrigger>> TimerTriggers;
  std::optional<std::vector<TDataTrigger>> DataTriggers;
  std::optional<std::vector<TStatusTrigger>> StatusTriggers;
};

// Feeds one input byte to a data trigger's partial matches; sets Matched and
// clears every counter when the whole pattern has been seen.
void MatchDataByte(TDataTrigger& trigger, BYTE input);

}  // namespace ser
