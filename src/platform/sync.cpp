#include "platform/sync.h"

#include <chrono>
#include <vector>

#include "platform/errors.h"
#include "platform/immortal.h"
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
  {
    std::lock_guard lock(Hub().mutex);
    event->signalled = state;
  }
  if (state) Hub().changed.notify_all();
  return TRUE;
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
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  std::unique_lock lock(Hub().mutex);
  for (;;) {
    for (DWORD i = 0; i < count; ++i) {
      if (objects[i]->Signalled()) {
        objects[i]->Acquire();
        return WAIT_OBJECT_0 + i;
      }
    }
    if (withQueue && CurrentThreadQueueHasInput()) return WAIT_OBJECT_0 + count;
    if (milliseconds == INFINITE) {
      Hub().changed.wait(lock);
    } else if (milliseconds == 0 ||
               Hub().changed.wait_until(lock, deadline) == std::cv_status::timeout) {
      for (DWORD i = 0; i < count; ++i) {
        if (objects[i]->Signalled()) {
          objects[i]->Acquire();
          return WAIT_OBJECT_0 + i;
        }
      }
      if (withQueue && CurrentThreadQueueHasInput()) return WAIT_OBJECT_0 + count;
      return WAIT_TIMEOUT;
    }
  }
}

}  // namespace

WaitHub& Hub() {
  static Immortal<WaitHub> hub;
  return hub.Get();
}

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
