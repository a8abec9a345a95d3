#include "platform/sync.h"

#include <chrono>
#include <vector>

#include "platform/errors.h"
#include "platform/message_queue.h"
#include "platform/wait_hub.h"

namespace {

struct EventObject : WaitableObject {
  EventObject(bool manual, bool initial) : manualReset(manual), signalled(initial) {}
  bool Signalled() const override { return signalled; }
  void Acquire() override {
    if (!manualReset) signalled = false;
  }
  const bool manualReset;
  bool signalled;  // guarded by Hub().mutex
};

BOOL ChangeEvent(HANDLE handle, bool state) {
  auto event = LookupHandleAs<EventObject>(handle);
  if (!event) return FALSE;
  WakeSet wake;
  std::lock_guard lock(Hub().mutex);
  event->signalled = state;
  if (state) event->waiters.NoteFor(wake);
  return TRUE;
}

// Enters the calling thread's waiter with every object (and queue) one wait
// is for, from its first sleep to its end; under Hub().mutex throughout.
class WaitEntry {
 public:
  WaitEntry(const std::vector<std::shared_ptr<WaitableObject>>& objects,
            const std::shared_ptr<MessageQueue>& queue)
      : objects_(objects), queue_(queue) {}
  ~WaitEntry() {
    if (!entered_) return;
    for (const auto& object : objects_) object->waiters.Remove(&waiter_);
    if (queue_) queue_->waiters.Remove(&waiter_);
  }
  WaitEntry(const WaitEntry&) = delete;
  WaitEntry& operator=(const WaitEntry&) = delete;

  // Enters (once) and arms the waiter; the caller then lets the lock go.
  Waiter& Arm() {
    if (!entered_) {
      for (const auto& object : objects_) object->waiters.Add(&waiter_);
      if (queue_) queue_->waiters.Add(&waiter_);
      entered_ = true;
    }
    waiter_.Arm();
    return waiter_;
  }

 private:
  const std::vector<std::shared_ptr<WaitableObject>>& objects_;
  const std::shared_ptr<MessageQueue>& queue_;
  Waiter& waiter_ = ThisThreadWaiter();
  bool entered_ = false;
};

// The first ready object, taken (WAIT_OBJECT_0 + its index), then the queue
// (WAIT_OBJECT_0 + the count of objects), else WAIT_TIMEOUT. Under the lock.
DWORD TakeReady(const std::vector<std::shared_ptr<WaitableObject>>& objects,
                const std::shared_ptr<MessageQueue>& queue) {
  for (std::size_t i = 0; i < objects.size(); ++i) {
    if (objects[i]->Signalled()) {
      objects[i]->Acquire();
      return WAIT_OBJECT_0 + static_cast<DWORD>(i);
    }
  }
  if (queue && queue->HasInput()) return WAIT_OBJECT_0 + static_cast<DWORD>(objects.size());
  return WAIT_TIMEOUT;
}

DWORD WaitAny(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
              bool withQueue) {
  if (waitAll || count > MAXIMUM_WAIT_OBJECTS || (count > 0 && handles == nullptr) ||
      (count == 0 && !withQueue)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<WaitableObject>> objects;
  for (DWORD i = 0; i < count; ++i) {
    auto object = LookupHandleAs<WaitableObject>(handles[i]);
    if (!object) return WAIT_FAILED;
    objects.push_back(std::move(object));
  }
  Waiter::Deadline deadline;
  if (milliseconds != INFINITE) {
    deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  }
  std::shared_ptr<MessageQueue> queue = withQueue ? CurrentQueue() : nullptr;
  std::unique_lock lock(Hub().mutex);
  WaitEntry entry(objects, queue);
  for (;;) {
    if (DWORD ready = TakeReady(objects, queue); ready != WAIT_TIMEOUT) return ready;
    if (deadline && std::chrono::steady_clock::now() >= *deadline) return WAIT_TIMEOUT;
    Waiter& waiter = entry.Arm();
    lock.unlock();
    waiter.Sleep(deadline);
    lock.lock();
  }
}

}  // namespace

HANDLE CreateEventA(SECURITY_ATTRIBUTES*, BOOL manualReset, BOOL initialState, const char*) {
  return RegisterHandle(std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE event) {
  return ChangeEvent(event, true);
}

BOOL ResetEvent(HANDLE event) {
  return ChangeEvent(event, false);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitAny(1, &handle, FALSE, milliseconds, false);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  return WaitAny(count, handles, waitAll, milliseconds, false);
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD) {
  return WaitAny(count, handles, waitAll, milliseconds, true);
}

void InitializeCriticalSection(CRITICAL_SECTION*) {}

void EnterCriticalSection(CRITICAL_SECTION* section) {
  section->mutex.lock();
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) {
  return section->mutex.try_lock() ? TRUE : FALSE;
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
  section->mutex.unlock();
}

void DeleteCriticalSection(CRITICAL_SECTION*) {}

LONG InterlockedIncrement(std::atomic<LONG>* value) {
  return ++*value;
}

LONG InterlockedDecrement(std::atomic<LONG>* value) {
  return --*value;
}
