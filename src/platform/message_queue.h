// A thread's message queue: messages sent to its windows from other threads
// (whose senders wait), posted messages and a pending quit. Its descriptor is
// readable exactly while any of them waits, so a host event loop can watch
// it. MsgWaitForMultipleObjects wakes for sent and posted messages only: a
// pump that puts the quit back while it waits is not woken by it and never
// spins.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "platform/messages.h"
#include "platform/wait_hub.h"

struct SentMessage {
  enum class State { kQueued, kRunning, kDone, kFailed, kWithdrawn };
  SentMessage(HWND w, UINT m, WPARAM wp, LPARAM lp)
      : window(w), message(m), wParam(wp), lParam(lp) {}
  // Under the queue's lock: done or failed, which its sender waits for.
  void End(State last) {
    state = last;
    ended.store(true, std::memory_order_release);
  }
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  State state = State::kQueued;  // under the queue's lock
  LRESULT result = 0;
  // Read without the lock by a sender that waits awake.
  std::atomic<bool> ended{false};
};

class MessageQueue {
 public:
  explicit MessageQueue(DWORD threadId);
  ~MessageQueue();
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  DWORD ThreadId() const { return threadId_; }
  int Fd() const { return eventFd_; }

  // From any thread. False when the owner thread has ended.
  bool Post(const MSG& msg);
  // From another thread: queues the message and waits until the owner ran it
  // or the time-out passed (then it is withdrawn). False with the last error set
  // when it was not run; ERROR_INVALID_WINDOW_HANDLE when the window is gone,
  // also when it went between the sender finding it and queueing.
  bool SendAndWait(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeout,
                   LRESULT* result);

  // On the owner thread.
  void RunSentMessages();
  bool TakePosted(MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove);
  void PostQuit(int exitCode);
  bool HasInput();
  // Whether a sent message, or a posted one (the quit included) that the
  // filter lets through, waits: what a filtered wait may return for.
  bool HasInputFor(HWND window, UINT filterMin, UINT filterMax);

  // A window of this thread is made: sends to it are taken from now on.
  void AdoptWindow(HWND window);

  // The owner thread's waits for messages; under Hub().mutex.
  WaiterList waiters;

  // A window is going: its posted messages are dropped, its sends fail.
  void ForgetWindow(HWND window);
  // The owner thread ends: every send fails, nothing more is accepted.
  void Shutdown();

 private:
  void UpdateSignalLocked();
  // Wakes the owner's waits; called with this queue's own lock released
  // (lock order: hub before queue).
  void WakeOwner();

  const DWORD threadId_;
  int eventFd_ = -1;
  std::mutex mutex_;
  std::condition_variable sentChanged_;
  std::deque<std::shared_ptr<SentMessage>> sent_;
  std::deque<MSG> posted_;
  std::unordered_set<HWND> windows_;
  bool quitPending_ = false;
  int quitCode_ = 0;
  bool signalled_ = false;
  bool alive_ = true;
};

// The calling thread's queue, created on first use.
std::shared_ptr<MessageQueue> CurrentQueue();
// Runs a window's procedure (with the window known to be alive).
LRESULT CallWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
