// The input ring: filling it from the device, reading and discarding it.
#include <algorithm>
#include <atomic>

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
    // Read aside and copied in atomically: a lock-free reader that lost a
    // race with a close or a discard may still be reading these slots.
    BYTE chunk[kInRingSize];
    int result = ReadDevice(chunk, size);
    if (result < 0) {
      NoteReadFailure(-1);
      result = 0;
    }
    const auto got = static_cast<DWORD>(result);
    RecordLog(lkDispatch, lsReadCom, got, got, chunk);
    BYTE* to = &InBuf[InHead];
    for (DWORD i = 0; i < got; ++i) {
      std::atomic_ref<BYTE>(to[i]).store(chunk[i], std::memory_order_relaxed);
    }
    InHead = (InHead + got) % kInRingSize;
    ReadSinceAvail = std::min(ReadSinceAvail + got, kInRingSize);
    if (got > 0) InFull = InHead == InTail;
    return got;
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
// a character, so the offered bytes are taken without the lock.
int TSerBaseDispatcher::ReadChar(BYTE& c) {
  if (TakeOffered(c)) return ecOK;
  SectionHold hold(InputLock);
  if (InsideAvail) {
    if (!TakeOfferedLocked(c)) return ecBufferIsEmpty;
  } else {
    if (!PeekLocked(c, 1)) return ecBufferIsEmpty;
    InTail = (InTail + 1) % kInRingSize;
    InFull = false;
  }
  if (Trace.TraceOn()) Trace.RecordTrace('R', c);
  return ecOK;
}

DWORD TSerBaseDispatcher::InputCount() {
  SectionHold hold(InputLock);
  return InsideAvail ? OfferLeft() : UnreadCount();
}

// Inside a notification as well the ring empties at once, and what the
// targets read so far goes with it: nothing discarded is offered again.
int TSerBaseDispatcher::DiscardInput() {
  SectionHold hold(InputLock);
  int result = PurgeDevice(1);
  InTail = InHead;
  InFull = false;
  if (InsideAvail) {
    AvailReadMax = 0;
    EmptyOffer();
  }
  SectionHold dispatcher(DispatcherLock);
  for (TDataTrigger& trigger : MatchTriggerList) {
    for (DWORD& count : trigger.PartialMatch) count = 0;
  }
  return result;
}

}  // namespace ser
