// The one lock behind every waitable object, and wake-ups aimed at the waits
// concerned. A waiting call looks at its objects under the lock; when none is
// ready it enters its thread's Waiter with each of them (and with its
// thread's message queue when it waits for messages), lets the lock go and
// sleeps on the waiter alone. Whoever makes one of them ready notes the
// waiters under the lock and wakes them once it has let the lock go, so a
// signal wakes only the threads that wait for it, and they do not wake into
// a lock still held.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/handle_table.h"

struct WaitHub {
  std::mutex mutex;
};

WaitHub& Hub();

// What one thread sleeps on while it waits.
class Waiter {
 public:
  using Deadline = std::optional<std::chrono::steady_clock::time_point>;

  // Under Hub().mutex, before the lock is let go to sleep.
  void Arm() { word_.store(kArmed, std::memory_order_relaxed); }
  // Without the lock: returns once woken (also by a wake-up that came
  // between Arm and Sleep), at the deadline (none: no limit), or early; the
  // caller looks at its objects again in every case.
  void Sleep(const Deadline& deadline);
  // From any thread, with or without the lock.
  void Wake();

 private:
  static constexpr std::uint32_t kArmed = 0, kWoken = 1, kSleeping = 2;
  std::atomic<std::uint32_t> word_{kWoken};
};

// The calling thread's waiter. Waiters are never freed: an ended thread's
// goes to the next thread, so a waker that still holds it after letting the
// lock go causes at most an early return, which every wait allows for.
Waiter& ThisThreadWaiter();

// Waiters to wake once the lock is let go. Declared before the lock guard, so
// that its destruction, which wakes them, comes after the unlock.
class WakeSet {
 public:
  WakeSet() = default;
  WakeSet(const WakeSet&) = delete;
  WakeSet& operator=(const WakeSet&) = delete;
  ~WakeSet() {
    for (std::size_t i = 0; i < count_; ++i) waiters_[i]->Wake();
  }
  void Add(Waiter* waiter) {
    if (count_ < waiters_.size()) {
      waiters_[count_++] = waiter;
    } else {
      waiter->Wake();  // more than are ever expected: woken under the lock
    }
  }

 private:
  std::array<Waiter*, 8> waiters_{};
  std::size_t count_ = 0;
};

// The waits sleeping on one object or queue; under Hub().mutex.
class WaiterList {
 public:
  void Add(Waiter* waiter) { waiters_.push_back(waiter); }
  void Remove(Waiter* waiter) { std::erase(waiters_, waiter); }
  void NoteFor(WakeSet& wake) const {
    for (Waiter* waiter : waiters_) wake.Add(waiter);
  }

 private:
  std::vector<Waiter*> waiters_;
};

// An object a wait can be satisfied by. Both calls run with Hub().mutex held.
struct WaitableObject : PlatformObject {
  virtual bool Signalled() const = 0;
  // Called on the object that satisfied a wait (an auto-reset event resets).
  virtual void Acquire() {}
  // Whoever makes the object ready notes these for waking, under the lock.
  WaiterList waiters;
};
