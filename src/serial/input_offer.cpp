// The unread bytes offered to a notification's handler. A handler reads its
// bytes one ReadChar at a time; taking each under the input lock cost more
// than everything else a delivery does, so while an offer is open a reader
// counts itself a byte with one compare-and-swap instead.
#include <atomic>

#include "serial/dispatcher.h"

namespace ser {

namespace {

constexpr std::uint64_t kOpen = std::uint64_t{1} << 63;
constexpr std::uint64_t kCountMask = 0xFFFFFFFF;

std::uint64_t OfferWord(bool open, std::uint32_t generation) {
  return (open ? kOpen : 0) | (std::uint64_t{generation & 0x7FFFFFFF} << 32);
}

}  // namespace

void TSerBaseDispatcher::OpenOffer() {
  OfferRing.store(InBuf.data(), std::memory_order_relaxed);
  OfferTail.store(InTail, std::memory_order_relaxed);
  OfferLimit.store(UnreadCount(), std::memory_order_relaxed);
  Offer.store(OfferWord(true, ++OfferGeneration), std::memory_order_release);
}

DWORD TSerBaseDispatcher::RestartOffer() {
  // Readers change only the count, so the rest of the word stays as it is.
  const std::uint64_t word = Offer.load(std::memory_order_relaxed) & ~kCountMask;
  return static_cast<DWORD>(Offer.exchange(word, std::memory_order_acq_rel) & kCountMask);
}

// A new generation, so a reader that saw the old limit cannot count itself in.
void TSerBaseDispatcher::RenewOffer() {
  OfferTail.store(InTail, std::memory_order_relaxed);
  OfferLimit.store(UnreadCount(), std::memory_order_relaxed);
  const std::uint64_t next = OfferWord(true, ++OfferGeneration);
  std::uint64_t word = Offer.load(std::memory_order_relaxed);
  while (
      !Offer.compare_exchange_weak(word, next | (word & kCountMask), std::memory_order_acq_rel)) {
  }
}

DWORD TSerBaseDispatcher::CloseOffer() {
  const std::uint64_t word =
      Offer.exchange(OfferWord(false, ++OfferGeneration), std::memory_order_acq_rel);
  return (word & kOpen) ? static_cast<DWORD>(word & kCountMask) : 0;
}

DWORD TSerBaseDispatcher::OfferCount() const {
  return static_cast<DWORD>(Offer.load(std::memory_order_acquire) & kCountMask);
}

// The byte is read before the count is taken: when the swap succeeds the
// offer was open and unchanged all along, so the byte was one it covered.
bool TSerBaseDispatcher::TakeOffered(BYTE& c) {
  if (Trace.TraceOn()) return false;  // the trace records under the lock
  std::uint64_t word = Offer.load(std::memory_order_acquire);
  if (!(word & kOpen)) return false;
  const auto n = static_cast<DWORD>(word & kCountMask);
  if (n >= OfferLimit.load(std::memory_order_relaxed)) return false;
  BYTE* ring = OfferRing.load(std::memory_order_relaxed);
  const DWORD at = (OfferTail.load(std::memory_order_relaxed) + n) % kInRingSize;
  const BYTE byte = std::atomic_ref<BYTE>(ring[at]).load(std::memory_order_relaxed);
  if (!Offer.compare_exchange_strong(word, word + 1, std::memory_order_acq_rel)) return false;
  c = byte;
  return true;
}

}  // namespace ser
