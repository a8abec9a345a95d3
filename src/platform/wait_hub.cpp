#include "platform/wait_hub.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "platform/immortal.h"

namespace {

long Futex(std::atomic<std::uint32_t>* word, int op, std::uint32_t value, const timespec* time) {
  return syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(word), op, value, time, nullptr,
                 FUTEX_BITSET_MATCH_ANY);
}

// Waiters of ended threads, handed to the next threads.
struct WaiterPool {
  std::mutex mutex;
  std::vector<Waiter*> free;
};

WaiterPool& Pool() {
  static Immortal<WaiterPool> pool;
  return pool.Get();
}

struct ThreadWaiter {
  ThreadWaiter() {
    std::lock_guard lock(Pool().mutex);
    if (Pool().free.empty()) {
      waiter = new Waiter;  // never freed, see ThisThreadWaiter
    } else {
      waiter = Pool().free.back();
      Pool().free.pop_back();
    }
  }
  ~ThreadWaiter() {
    std::lock_guard lock(Pool().mutex);
    Pool().free.push_back(waiter);
  }
  Waiter* waiter;
};

}  // namespace

WaitHub& Hub() {
  static Immortal<WaitHub> hub;
  return hub.Get();
}

void Waiter::Sleep(const Deadline& deadline) {
  std::uint32_t armed = kArmed;
  if (!word_.compare_exchange_strong(armed, kSleeping, std::memory_order_acquire)) return;
  timespec at{};
  if (deadline) {
    auto since = deadline->time_since_epoch();
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
    at.tv_sec = static_cast<time_t>(seconds.count());
    at.tv_nsec = static_cast<long>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count());
  }
  // An absolute time on the monotonic clock, which steady_clock reads.
  Futex(&word_, FUTEX_WAIT_BITSET | FUTEX_PRIVATE_FLAG, kSleeping, deadline ? &at : nullptr);
}

void Waiter::Wake() {
  if (word_.exchange(kWoken, std::memory_order_release) == kSleeping) {
    Futex(&word_, FUTEX_WAKE | FUTEX_PRIVATE_FLAG, 1, nullptr);
  }
}

Waiter& ThisThreadWaiter() {
  thread_local ThreadWaiter own;
  return *own.waiter;
}
