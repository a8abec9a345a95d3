#include "platform/interruptible_call.h"

#include <signal.h>

#include <algorithm>
#include <chrono>

namespace {

void IgnoreInterrupt(int) {}

// A real-time signal nothing else here uses. Its handler does nothing and is
// installed without SA_RESTART, so a blocking call it lands in fails with
// EINTR instead of being restarted by the kernel.
int InterruptSignal() {
  static const int number = [] {
    const int chosen = SIGRTMIN + 3;
    struct sigaction action {};
    action.sa_handler = IgnoreInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(chosen, &action, nullptr);
    return chosen;
  }();
  return number;
}

}  // namespace

InterruptibleCall::InterruptibleCall() {
  InterruptSignal();
}

bool InterruptibleCall::Enter() {
  std::lock_guard lock(mutex_);
  if (stopped_) return false;
  inside_ = true;
  thread_ = pthread_self();
  return true;
}

void InterruptibleCall::Leave() {
  std::lock_guard lock(mutex_);
  inside_ = false;
  left_.notify_all();
}

void InterruptibleCall::Stop() {
  std::unique_lock lock(mutex_);
  stopped_ = true;
  // One signal is not enough: it may land between Enter and the system call,
  // where it is ignored and the call then blocks. So it is repeated, with a
  // growing pause, until the thread has left. The thread cannot end while it
  // is inside, so the signal never reaches a thread that is gone.
  auto pause = std::chrono::milliseconds(1);
  while (inside_) {
    pthread_kill(thread_, InterruptSignal());
    left_.wait_for(lock, pause, [&] { return !inside_; });
    pause = std::min(pause * 2, std::chrono::milliseconds(100));
  }
}

void InterruptibleCall::AcceptInterrupts() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, InterruptSignal());
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}
