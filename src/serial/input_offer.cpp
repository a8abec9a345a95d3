// The unread bytes offered to a notification's handler. A handler reads its
// bytes one ReadChar at a time; taking each under the input lock cost more
// than everything else a delivery does, so while an offer is open a reader
// counts itself a byte with one compare-and-swap instead.
//
// Every opening has a generation of its own, and OfferTail and OfferLimit
// change only while the word is withdrawn, as under a sequence lock: a reader
// that finds the same generation before and after reading them knows they
// are that opening's, and a reader still holding an earlier word fails its
// swap.
#include <atomic>

#include "serial/dispatcher.h"

namespace ser {

namespace {

// A target never reads more than a ring's worth, so the count needs 14 bits;
// the 49 of the generation do not wrap within any reader's stall.
constexpr std::uint64_t kOpen = std::uint64_t{1} << 63;
constexpr std::uint64_t kCountMask = (std::uint64_t{1} << 14) - 1;
static_assert(kInRingSize <= kCountMask);
constexpr std::uint64_t kGenerationStep = kCountMask + 1;
constexpr std::uint64_t kGenerationMask = ~(kOpen | kCountMask);

DWORD CountOf(std::uint64_t word) {
  return static_cast<DWORD>(word & kCountMask);
}

// The next generation's word, withdrawn, with the same count.
std::uint64_t NextWithdrawn(std::uint64_t word) {
  return ((word + kGenerationStep) & kGenerationMask) | (word & kCountMask);
}

// The byte is read before the count is taken: when the swap succeeds the
// offer was open and unchanged all along, so the byte was one it covered.
bool TakeAt(std::atomic<std::uint64_t>& offer, std::uint64_t word, BYTE& slot, BYTE& c) {
  const BYTE byte = std::atomic_ref<BYTE>(slot).load(std::memory_order_relaxed);
  if (!offer.compare_exchange_strong(word, word + 1, std::memory_order_acq_rel)) return false;
  c = byte;
  return true;
}

// Out of line, so that a read with no hook set pays only for looking.
[[gnu::noinline, gnu::cold]] bool PauseAndTakeAt(void (*pause)(), std::atomic<std::uint64_t>& offer,
                                                 std::uint64_t word, BYTE& slot, BYTE& c) {
  pause();
  return TakeAt(offer, word, slot, c);
}

}  // namespace

// Readers may be counting themselves in meanwhile, hence the swap; the word
// it replaced is returned.
std::uint64_t TSerBaseDispatcher::WithdrawOffer() {
  std::uint64_t word = Offer.load(std::memory_order_relaxed);
  while (!Offer.compare_exchange_weak(word, NextWithdrawn(word), std::memory_order_acq_rel)) {
  }
  return word;
}

// Offers `limit` bytes from InTail, the count at 0.
void TSerBaseDispatcher::PublishOffer(DWORD limit) {
  const std::uint64_t withdrawn = NextWithdrawn(WithdrawOffer());
  // A reader that sees a position stored after this fence sees the
  // withdrawal too when it looks at the word again.
  std::atomic_thread_fence(std::memory_order_release);
  OfferTail.store(InTail, std::memory_order_relaxed);
  OfferLimit.store(limit, std::memory_order_relaxed);
  // No reader swaps a withdrawn word, so it is ours to store.
  Offer.store(NextWithdrawn(withdrawn & ~kCountMask) | kOpen, std::memory_order_release);
}

void TSerBaseDispatcher::OpenOffer() {
  PublishOffer(UnreadCount());
}

// After a discard: nothing is left to offer to this target or the next.
void TSerBaseDispatcher::EmptyOffer() {
  PublishOffer(0);
}

DWORD TSerBaseDispatcher::RestartOffer() {
  // Readers change only the count, so the rest of the word stays as it is.
  const std::uint64_t word = Offer.load(std::memory_order_relaxed) & ~kCountMask;
  return CountOf(Offer.exchange(word, std::memory_order_acq_rel));
}

DWORD TSerBaseDispatcher::CloseOffer() {
  const std::uint64_t word = WithdrawOffer();
  return (word & kOpen) ? CountOf(word) : 0;
}

DWORD TSerBaseDispatcher::OfferLeft() const {
  const DWORD count = CountOf(Offer.load(std::memory_order_acquire));
  const DWORD limit = OfferLimit.load(std::memory_order_relaxed);
  return count < limit ? limit - count : 0;
}

bool TSerBaseDispatcher::TakeOffered(BYTE& c) {
  if (Trace.TraceOn()) return false;  // the trace records under the lock
  std::uint64_t word = Offer.load(std::memory_order_acquire);
  if (!(word & kOpen)) return false;
  const DWORD tail = OfferTail.load(std::memory_order_relaxed);
  const DWORD limit = OfferLimit.load(std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_acquire);
  if ((Offer.load(std::memory_order_relaxed) ^ word) & ~kCountMask) return false;
  const DWORD n = CountOf(word);
  if (n >= limit) return false;
  BYTE& slot = InRing[(tail + n) % kInRingSize];
  if (auto pause = OfferReadPause.load(std::memory_order_relaxed)) [[unlikely]] {
    return PauseAndTakeAt(pause, Offer, word, slot, c);
  }
  return TakeAt(Offer, word, slot, c);
}

bool TSerBaseDispatcher::TakeOfferedLocked(BYTE& c) {
  const DWORD tail = OfferTail.load(std::memory_order_relaxed);
  const DWORD limit = OfferLimit.load(std::memory_order_relaxed);
  std::uint64_t word = Offer.load(std::memory_order_acquire);
  do {
    const DWORD n = CountOf(word);
    if (n >= limit) return false;
    c = InRing[(tail + n) % kInRingSize];
  } while (!Offer.compare_exchange_weak(word, word + 1, std::memory_order_acq_rel));
  return true;
}

}  // namespace ser
