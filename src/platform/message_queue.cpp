#include "platform/message_queue.h"

#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/threads.h"
#include "platform/wait_hub.h"

namespace {

// Ends the queue with its thread, so that senders stop waiting for it.
struct QueueHolder {
  std::shared_ptr<MessageQueue> queue;
  ~QueueHolder() {
    if (queue) queue->Shutdown();
  }
};

thread_local QueueHolder currentQueue;

bool Matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
  if (window != nullptr && msg.hwnd != window) return false;
  if (filterMin == 0 && filterMax == 0) return true;
  return msg.message >= filterMin && msg.message <= filterMax;
}

bool QuitWanted(UINT filterMin, UINT filterMax) {
  return (filterMin == 0 && filterMax == 0) || (WM_QUIT >= filterMin && WM_QUIT <= filterMax);
}

// How long a sender stays awake before it sleeps. An owner serving its
// queue usually answers within tens of microseconds, and on a virtual
// machine waking a sleeping thread onto an idle core costs about as much
// again, on the path of every notification a dispatch thread sends.
constexpr auto kAwakeWait = std::chrono::microseconds(20);

void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// The CPUs this thread may run on, which taskset or a container's cpuset
// may make fewer than the machine has.
unsigned UsableCpus() {
  cpu_set_t cpus;
  if (sched_getaffinity(0, sizeof cpus, &cpus) != 0) return std::thread::hardware_concurrency();
  return static_cast<unsigned>(CPU_COUNT(&cpus));
}

// Returns when the message ended, at the wait's end or at the deadline. On
// one CPU staying awake would only keep the owner from running.
void AwaitAwake(const SentMessage& sent, std::chrono::steady_clock::time_point deadline) {
  static const bool worthIt = UsableCpus() > 1;
  if (!worthIt) return;
  const auto until = std::min(deadline, std::chrono::steady_clock::now() + kAwakeWait);
  while (!sent.ended.load(std::memory_order_acquire)) {
    if (std::chrono::steady_clock::now() >= until) return;
    for (int i = 0; i < 16; ++i) CpuRelax();
  }
}

}  // namespace

MessageQueue::MessageQueue(DWORD threadId)
    : threadId_(threadId), eventFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

MessageQueue::~MessageQueue() {
  if (eventFd_ >= 0) close(eventFd_);
}

void MessageQueue::WakeOwner() {
  WakeSet wake;
  std::lock_guard lock(Hub().mutex);
  waiters.NoteFor(wake);
}

void MessageQueue::UpdateSignalLocked() {
  bool wanted = !sent_.empty() || !posted_.empty() || quitPending_;
  if (wanted == signalled_ || eventFd_ < 0) return;
  std::uint64_t value = 1;
  if (wanted) {
    [[maybe_unused]] ssize_t n = write(eventFd_, &value, sizeof value);
  } else {
    [[maybe_unused]] ssize_t n = read(eventFd_, &value, sizeof value);
  }
  signalled_ = wanted;
}

bool MessageQueue::Post(const MSG& msg) {
  {
    std::lock_guard lock(mutex_);
    if (!alive_) return false;
    posted_.push_back(msg);
    UpdateSignalLocked();
  }
  WakeOwner();
  return true;
}

bool MessageQueue::SendAndWait(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                               DWORD timeout, LRESULT* result) {
  auto sent = std::make_shared<SentMessage>(window, message, wParam, lParam);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
  {
    std::unique_lock lock(mutex_);
    // Checked under the lock ForgetWindow takes: a send either comes before
    // the window goes (and ForgetWindow fails it) or finds it gone, never
    // queued for a procedure that no longer runs.
    if (!alive_ || !windows_.contains(window)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return false;
    }
    sent_.push_back(sent);
    UpdateSignalLocked();
    lock.unlock();
    WakeOwner();
    AwaitAwake(*sent, deadline);
    lock.lock();
    auto finished = [&] {
      return sent->state == SentMessage::State::kDone || sent->state == SentMessage::State::kFailed;
    };
    if (timeout == INFINITE) {
      sentChanged_.wait(lock, finished);
    } else {
      sentChanged_.wait_until(lock, deadline, finished);
    }
    switch (sent->state) {
      case SentMessage::State::kDone:
        *result = sent->result;
        return true;
      case SentMessage::State::kFailed:
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
      case SentMessage::State::kQueued:
        sent->state = SentMessage::State::kWithdrawn;
        sent_.erase(std::find(sent_.begin(), sent_.end(), sent));
        UpdateSignalLocked();
        break;
      case SentMessage::State::kRunning:
      case SentMessage::State::kWithdrawn:
        // Already running: it finishes, but nobody waits for it any more.
        break;
    }
  }
  SetLastError(ERROR_TIMEOUT);
  return false;
}

void MessageQueue::RunSentMessages() {
  for (;;) {
    std::shared_ptr<SentMessage> sent;
    {
      std::lock_guard lock(mutex_);
      if (sent_.empty()) return;
      sent = sent_.front();
      sent_.pop_front();
      sent->state = SentMessage::State::kRunning;
      UpdateSignalLocked();
    }
    LRESULT result = CallWindowProcedure(sent->window, sent->message, sent->wParam, sent->lParam);
    {
      std::lock_guard lock(mutex_);
      sent->result = result;
      sent->End(SentMessage::State::kDone);
    }
    sentChanged_.notify_all();
  }
}

bool MessageQueue::TakePosted(MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove) {
  std::lock_guard lock(mutex_);
  auto found = std::find_if(posted_.begin(), posted_.end(), [&](const MSG& candidate) {
    return Matches(candidate, window, filterMin, filterMax);
  });
  if (found != posted_.end()) {
    *msg = *found;
    if (remove) {
      posted_.erase(found);
      UpdateSignalLocked();
    }
    return true;
  }
  // The quit comes last, when no other posted message waits.
  if (quitPending_ && QuitWanted(filterMin, filterMax)) {
    *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quitCode_), 0, timeGetTime(), {0, 0}};
    if (remove) {
      quitPending_ = false;
      UpdateSignalLocked();
    }
    return true;
  }
  return false;
}

void MessageQueue::PostQuit(int exitCode) {
  std::lock_guard lock(mutex_);
  quitPending_ = true;
  quitCode_ = exitCode;
  UpdateSignalLocked();
}

bool MessageQueue::HasInput() {
  std::lock_guard lock(mutex_);
  return !sent_.empty() || !posted_.empty();
}

bool MessageQueue::HasInputFor(HWND window, UINT filterMin, UINT filterMax) {
  std::lock_guard lock(mutex_);
  if (!sent_.empty()) return true;
  if (std::any_of(posted_.begin(), posted_.end(), [&](const MSG& candidate) {
        return Matches(candidate, window, filterMin, filterMax);
      })) {
    return true;
  }
  return quitPending_ && QuitWanted(filterMin, filterMax);
}

void MessageQueue::AdoptWindow(HWND window) {
  std::lock_guard lock(mutex_);
  windows_.insert(window);
}

void MessageQueue::ForgetWindow(HWND window) {
  {
    std::lock_guard lock(mutex_);
    windows_.erase(window);
    std::erase_if(posted_, [&](const MSG& msg) { return msg.hwnd == window; });
    std::erase_if(sent_, [&](const std::shared_ptr<SentMessage>& sent) {
      if (sent->window != window) return false;
      sent->End(SentMessage::State::kFailed);
      return true;
    });
    UpdateSignalLocked();
  }
  sentChanged_.notify_all();
}

void MessageQueue::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    alive_ = false;
    for (auto& sent : sent_) sent->End(SentMessage::State::kFailed);
    sent_.clear();
    posted_.clear();
    UpdateSignalLocked();
  }
  sentChanged_.notify_all();
}

std::shared_ptr<MessageQueue> CurrentQueue() {
  if (!currentQueue.queue) {
    currentQueue.queue = std::make_shared<MessageQueue>(GetCurrentThreadId());
  }
  return currentQueue.queue;
}
