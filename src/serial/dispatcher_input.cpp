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
// a character, so the offered bytes are taken without the lock.
int TSerBaseDispatcher::ReadChar(BYTE& c) {
  if (TakeOffered(c)) return ecOK;
  SectionHold hold(InputLock);
  if (InsideAvail) {
    std::uint64_t word = Offer.load(std::memory_order_acquire);
    do {
      if (!PeekLocked(c, static_cast<DWORD>(word) + 1)) return ecBufferIsEmpty;
    } while (!Offer.compare_exchange_weak(word, word + 1, std::memory_order_acq_rel));
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
  DWORD count = UnreadCount();
  if (InsideAvail) count -= std::min(count, OfferCount());
  return count;
}

int TSerBaseDispatcher::DiscardInput() {
  SectionHold hold(InputLock);
  int result = PurgeDevice(1);
  if (InsideAvail) {
    AvailReadMax = UnreadCount();
  } else {
    InTail = InHead;
  }
  InFull = false;
  if (InsideAvail) RenewOffer();
  SectionHold dispatcher(DispatcherLock);
  for (TDataTrigger& trigger : MatchTriggerList) {
    for (DWORD& count : trigger.PartialMatch) count = 0;
  }
  return result;
}

}  // namespace ser
