#include "platform/threads.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <future>
#include <mutex>
#include <thread>

#include "platform/errors.h"
#include "platform/wait_hub.h"

namespace {

struct ThreadObject : WaitableObject {
  bool Signalled() const override { return finished; }
  bool finished = false;  // guarded by Hub().mutex

  std::mutex mutex;  // guards what follows
  pid_t tid = 0;
  bool running = true;
  int priority = THREAD_PRIORITY_NORMAL;
};

// Unprivileged processes may lower a thread's priority (raise its nice value)
// but not raise it again; the nice values are relative to the process's own.
int NiceOffset(int priority) {
  if (priority <= THREAD_PRIORITY_IDLE) return 19;
  if (priority >= THREAD_PRIORITY_TIME_CRITICAL) return -20;
  switch (priority) {
    case THREAD_PRIORITY_LOWEST:
      return 10;
    case THREAD_PRIORITY_BELOW_NORMAL:
      return 5;
    case THREAD_PRIORITY_ABOVE_NORMAL:
      return -5;
    case THREAD_PRIORITY_HIGHEST:
      return -10;
  }
  return 0;
}

void ApplyPriority(pid_t tid, int priority) {
  static const int processNice = getpriority(PRIO_PROCESS, 0);
  int nice = processNice + NiceOffset(priority);
  if (nice < -20) nice = -20;
  if (nice > 19) nice = 19;
  // Refused (EACCES/EPERM) when the caller may not raise priorities: the
  // wish is kept and the thread runs at what it has.
  setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice);
}

bool IsPrioritySupported(int priority) {
  switch (priority) {
    case THREAD_PRIORITY_IDLE:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
    case THREAD_PRIORITY_ABOVE_NORMAL:
    case THREAD_PRIORITY_HIGHEST:
    case THREAD_PRIORITY_TIME_CRITICAL:
      return true;
  }
  return false;
}

}  // namespace

HANDLE CreateThread(std::function<void()> body, DWORD* threadId) {
  auto thread = std::make_shared<ThreadObject>();
  std::promise<pid_t> started;
  std::future<pid_t> tid = started.get_future();
  try {
    // The thread owns a reference to its object, so it may outlive its handle.
    std::thread([thread, body = std::move(body), started = std::move(started)]() mutable {
      {
        std::lock_guard lock(thread->mutex);
        thread->tid = static_cast<pid_t>(GetCurrentThreadId());
      }
      started.set_value(thread->tid);
      try {
        body();
      } catch (const std::exception& error) {
        std::fprintf(stderr, "Morvel: a thread ended with an exception: %s\n", error.what());
      } catch (...) {
        std::fprintf(stderr, "Morvel: a thread ended with an unknown exception\n");
      }
      body = nullptr;
      {
        std::lock_guard lock(thread->mutex);
        thread->running = false;
      }
      WakeSet wake;
      std::lock_guard lock(Hub().mutex);
      thread->finished = true;
      thread->waiters.NoteFor(wake);
    }).detach();
  } catch (const std::system_error&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  pid_t id = tid.get();
  if (threadId != nullptr) *threadId = static_cast<DWORD>(id);
  return RegisterHandle(thread);
}

BOOL SetThreadPriority(HANDLE handle, int priority) {
  auto thread = LookupHandleAs<ThreadObject>(handle);
  if (!thread) return FALSE;
  if (!IsPrioritySupported(priority)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard lock(thread->mutex);
  thread->priority = priority;
  // Only while the body runs: an ended thread's id may belong to another.
  if (thread->running) ApplyPriority(thread->tid, priority);
  return TRUE;
}

int GetThreadPriority(HANDLE handle) {
  auto thread = LookupHandleAs<ThreadObject>(handle);
  if (!thread) return THREAD_PRIORITY_ERROR_RETURN;
  std::lock_guard lock(thread->mutex);
  return thread->priority;
}

DWORD GetCurrentThreadId() {
  thread_local const DWORD id = static_cast<DWORD>(syscall(SYS_gettid));
  return id;
}

DWORD GetMainThreadId() {
  return static_cast<DWORD>(getpid());
}
