// The input ring: filling it from the device, reading and discarding it.
#include <algorithm>

#include "serial/dispatcher.h"
#include "serial/result_codes.h"
#include "serial/section_hold.h"

namespace ser {

DWORD TSerBaseDispatcher::UnreadCount() const {
  if (InBuf.empty()) return 0;  // released
  if (InHead == InTail) return InFull ? kInRingSize : 0;
  return InHead > InTail ? InHead - InTail : kInRingSize - InTail + InHead;
}

// At most two reads per pass, straight into the ring. A full ring reads
// nothing: the device keeps the bytes until the program has taken some.
void TSerBaseDispatcher::ReadIntoRing() {
  SectionHold hold(InputLock);
  if (InFull || InBuf.empty()) return;
  RefreshLineErrors();
  DWORD driverCount;
  {
    SectionHold out(OutputLock);
    driverCount = DeviceStatus.InCount;
  }
  if (driverCount == 0) return;
  DWORD freeSpace = UnreadCount() == 0 ? kInRingSize : kInRingSize - UnreadCount();
  DWORD contiguous = InTail > InHead ? InTail - InHead : kInRingSize - InHead;
  DWORD wanted = std::min(freeSpace, driverCount);
  auto readOnce = [this](DWORD size) {
    int got = ReadDevice(&InBuf[InHead], size);
    if (got < 0) {
      NoteReadFailure(-1);
      got = 0;
    }
    RecordLog(lkDispatch, lsReadCom, static_cast<DWORD>(got), static_cast<DWORD>(got),
              &InBuf[InHead]);
    InHead = (InHead + static_cast<DWORD>(got)) % kInRingSize;
    ReadSinceAvail = std::min(ReadSinceAvail + static_cast<DWORD>(got), kInRingSize);
    if (got > 0) InFull = InHead == InTail;
    return static_cast<DWORD>(got);
  };
  DWORD first = readOnce(contiguous);
  if (wanted > contiguous && first == contiguous && !InFull) readOnce(wanted - contiguous);
}

bool TSerBaseDispatcher::PeekLocked(BYTE& c, DWORD n) const {
  if (n == 0 || UnreadCount() < n) return false;
  c = InBuf[(InTail + n - 1) % kInRingSize];
  return true;
}

int TSerBaseDispatcher::PeekAt(BYTE& c, DWORD n) {
  SectionHold hold(InputLock);
  return PeekLocked(c, n) ? ecOK : ecBufferIsEmpty;
}

// Inside an avail or data-match notification the byte is only looked at:
// it is consumed when every target has returned. A handler calls this once
// a character, so it takes one lock and nothing more.
int TSerBaseDispatcher::ReadChar(BYTE& c) {
  SectionHold hold(InputLock);
  if (!PeekLocked(c, InsideAvail ? AvailReadCount + 1 : 1)) return ecBufferIsEmpty;
  if (InsideAvail) {
    ++AvailReadCount;
  } else {
    InTail = (InTail + 1) % kInRingSize;
    InFull = false;
  }
  if (Trace.TraceOn()) Trace.RecordTrace('R', c);
  return ecOK;
}

DWORD TSerBaseDispatcher::InputCount() {
  SectionHold hold(InputLock);
  DWORD count = UnreadCount();
  if (InsideAvail) count -= std::min(count, AvailReadCount);
  return count;
}

int TSerBaseDispatcher::DiscardInput() {
  SectionHold hold(InputLock);
  int result = PurgeDevice(1);
  if (InsideAvail) {
    AvailReadMax = UnreadCount();
  } else {
    InTail = InHead;
    AvailReadCount = 0;
  }
  InFull = false;
  SectionHold dispatcher(DispatcherLock);
  for (TDataTrigger& trigger : MatchTriggerList) {
    for (DWORD& count : trigger.PartialMatch) count = 0;
  }
  return result;
}

}  // namespace ser
