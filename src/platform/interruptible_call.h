// Lets one thread break another out of a blocking system call that no
// descriptor can wake (TIOCMIWAIT ignores a close() of another descriptor).
// The blocked thread brackets the call with Enter/Leave; Stop interrupts it
// with a signal until it is out, and keeps it from entering again.
#pragma once

#include <pthread.h>

#include <condition_variable>
#include <mutex>

class InterruptibleCall {
 public:
  InterruptibleCall();
  InterruptibleCall(const InterruptibleCall&) = delete;
  InterruptibleCall& operator=(const InterruptibleCall&) = delete;

  // On the thread about to block: false once Stop has been called.
  bool Enter();
  void Leave();
  // From another thread: returns when no call is inside, and none will enter.
  void Stop();
  // Lets the interrupting signal reach the calling thread (a new thread
  // inherits the blocked signals of the one that started it).
  static void AcceptInterrupts();

 private:
  std::mutex mutex_;
  std::condition_variable left_;
  bool stopped_ = false;
  bool inside_ = false;
  pthread_t thread_{};
};
