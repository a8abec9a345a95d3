// Starting and stopping the dispatcher's three threads, the step each thread
// runs as it ends, and the last wait for all of them.
//
// Stopping never holds DispatcherLock while it waits: the dispatch thread may
// need that lock to finish its pass. Waits for a thread that may be sending
// to one of our windows serve this thread's messages meanwhile. A dispatch
// thread that outlasts the two waits keeps running on its own; it is never
// freed under it, since every thread object is shared with its running body
// and the dispatcher's destruction waits for all of them (WaitAllThreadsEnded).
#include <stdexcept>

#include "platform/sync.h"
#include "serial/message_pump.h"
#include "serial/section_hold.h"
#include "serial/thread_class.h"
#include "serial/tick_timer.h"
#include "serial/win32_dispatcher.h"

namespace ser {

namespace {

constexpr DWORD kStartWait = 3000;
constexpr DWORD kDispatchWait = 36 * kTickMilliseconds;
// How often a stop repeats its wake-up of a thread that has not yet ended:
// a wake-up that came just before the thread began to wait is not lost.
constexpr DWORD kWakeRepeat = 100;

template <class T>
void StartOne(TSerWin32Dispatcher& dispatcher, std::mutex& refLock,
              std::shared_ptr<TSerDispatcherThread>& ref,
              std::vector<std::shared_ptr<TSerDispatcherThread>>& started,
              std::atomic<LONG>& count) {
  auto thread = std::make_shared<T>(dispatcher);
  {
    std::lock_guard<std::mutex> hold(refLock);
    ref = thread;
  }
  started.push_back(thread);
  InterlockedIncrement(&count);
  try {
    thread->Start();
  } catch (...) {
    InterlockedDecrement(&count);
    std::lock_guard<std::mutex> hold(refLock);
    ref.reset();
    started.pop_back();
    throw;
  }
}

}  // namespace

bool TSerBaseDispatcher::AllThreadsEnded() {
  std::lock_guard<std::mutex> hold(ThreadRefLock);
  return !ComThreadRef && !DispThreadRef && !OutThreadRef;
}

void TSerBaseDispatcher::ThreadEnd(const TSerDispatcherThread& thread) {
  bool dispatchThread = false;
  {
    std::lock_guard<std::mutex> hold(ThreadRefLock);
    if (ComThreadRef.get() == &thread) ComThreadRef.reset();
    if (OutThreadRef.get() == &thread) OutThreadRef.reset();
    if (DispThreadRef.get() == &thread) {
      DispThreadRef.reset();
      dispatchThread = true;
    }
  }
  if (dispatchThread && ReleaseOnExit.exchange(false)) ReleaseLine();
  // Nothing of this object may be touched after the count reaches 0 except
  // by a thread that waits on the thread handles, which the destructor does.
  if (InterlockedDecrement(&ThreadCount) == 0) ThreadsRunning = false;
}

// A thread that has not ended is never freed under it: this waits, serving
// messages, for every thread ever started, however long a stuck delivery
// takes (each is bounded by the delivery time-out).
void TSerBaseDispatcher::WaitAllThreadsEnded() {
  for (auto& thread : StartedThreads) WaitPumpingMessages(thread->ThreadHandle(), INFINITE);
  StartedThreads.clear();
  CloseEvents();
}

void TSerWin32Dispatcher::StartThreads() {
  {
    SectionHold hold(DispatcherLock);
    if (ThreadsRunning) throw std::logic_error("Dispatcher already started");
    ThreadsRunning = true;
    StopRequested = false;
  }
  // Threads of an earlier open that have ended need no more waiting for.
  std::erase_if(StartedThreads, [](const auto& t) {
    return WaitForSingleObject(t->ThreadHandle(), 0) == WAIT_OBJECT_0;
  });
  try {
    StartOne<TComThread>(*this, ThreadRefLock, ComThreadRef, StartedThreads, ThreadCount);
    WaitForSingleObject(GeneralEvent.load(), kStartWait);
    StartOne<TDispThread>(*this, ThreadRefLock, DispThreadRef, StartedThreads, ThreadCount);
    WaitForSingleObject(GeneralEvent.load(), kStartWait);
    StartOne<TOutThread>(*this, ThreadRefLock, OutThreadRef, StartedThreads, ThreadCount);
    WaitForSingleObject(GeneralEvent.load(), kStartWait);
  } catch (...) {
    if (ThreadCount == 0) ThreadsRunning = false;
    throw;
  }
  ApplyPriorities();
}

void TSerWin32Dispatcher::EndDeviceThreads() {
  std::shared_ptr<TSerDispatcherThread> out, com;
  {
    std::lock_guard<std::mutex> hold(ThreadRefLock);
    out = OutThreadRef;
    com = ComThreadRef;
  }
  if (out) {
    do {
      Signal(OutFlushEvent);
    } while (WaitPumpingMessages(out->ThreadHandle(), kWakeRepeat) == WAIT_TIMEOUT);
  }
  if (com) {
    do {
      {
        std::shared_lock<std::shared_mutex> device(DeviceLock);
        SetCommMask(DeviceHandle.load(), 0);
      }
      Signal(ReadyEvent);
    } while (WaitPumpingMessages(com->ThreadHandle(), kWakeRepeat) == WAIT_TIMEOUT);
  }
}

void TSerWin32Dispatcher::StopThreads() {
  if (!ThreadsRunning) return;
  // Two threads may stop at once (a deferred close ending while the port
  // destroys the dispatcher); the second leaves it to the first and to the
  // destruction's own wait.
  if (Stopping.exchange(true)) return;
  StopRequested = true;
  Reset(GeneralEvent);
  EndDeviceThreads();
  std::shared_ptr<TSerDispatcherThread> disp;
  {
    std::lock_guard<std::mutex> hold(ThreadRefLock);
    disp = DispThreadRef;
  }
  // Woken at once rather than at its next 50 ms pass.
  if (disp) Signal(ComEvent);
  if (disp && WaitPumpingMessages(disp->ThreadHandle(), kDispatchWait) == WAIT_TIMEOUT) {
    Signal(ComEvent);
    WaitPumpingMessages(disp->ThreadHandle(), kDispatchWait);
  }
  if (AllThreadsEnded()) CloseEvents();
  Stopping = false;
}

}  // namespace ser
