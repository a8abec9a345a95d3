// The thread class of the dispatcher's three worker threads: the event thread
// (waits for device events), the dispatch thread (reads, checks triggers,
// delivers notifications) and the output thread (writes the output ring).
// What each one runs: thread_run_event.cpp, thread_run_dispatch.cpp,
// thread_run_output.cpp. Starting and stopping them, and the step each runs
// as it ends: thread_start_stop.cpp. Their priorities: thread_priority.cpp.
//
// A thread object is shared: the dispatcher holds one reference (its
// ComThreadRef, DispThreadRef or OutThreadRef, cleared by the thread as it
// ends, and a second one for waiting on the end), the running body holds
// another until it returns. So whoever drops the last reference frees the
// object, and a waiter's handle stays valid even after the thread is gone.
#pragma once

#include <memory>

#include "platform/win_types.h"

namespace ser {

class TSerBaseDispatcher;
class TSerWin32Dispatcher;

class TSerDispatcherThread : public std::enable_shared_from_this<TSerDispatcherThread> {
 public:
  explicit TSerDispatcherThread(TSerWin32Dispatcher& dispatcher) : Dispatcher(dispatcher) {}
  virtual ~TSerDispatcherThread();
  TSerDispatcherThread(const TSerDispatcherThread&) = delete;
  TSerDispatcherThread& operator=(const TSerDispatcherThread&) = delete;

  // The platform thread: waitable, signalled once the body has returned.
  HANDLE ThreadHandle() const { return threadHandle_; }

  // Starts the platform thread; throws std::runtime_error when it cannot.
  // The dispatcher stores its reference first, so the thread always finds it.
  void Start();

 protected:
  // The thread body; the thread-end step runs after it, also after an exception.
  virtual void Execute() = 0;

  TSerWin32Dispatcher& Dispatcher;

 private:
  void Run();

  HANDLE threadHandle_ = nullptr;
};

class TComThread final : public TSerDispatcherThread {
 public:
  using TSerDispatcherThread::TSerDispatcherThread;

 protected:
  void Execute() override;
};

class TDispThread final : public TSerDispatcherThread {
 public:
  using TSerDispatcherThread::TSerDispatcherThread;

 protected:
  void Execute() override;
};

class TOutThread final : public TSerDispatcherThread {
 public:
  using TSerDispatcherThread::TSerDispatcherThread;

 protected:
  void Execute() override;
};

}  // namespace ser
