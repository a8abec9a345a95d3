// The process-wide table of dispatchers: a notification's lParam names a slot,
// and the port component's window procedure finds the dispatcher (and its
// owner) there while it holds the table's lock.
#pragma once

namespace ser {

class TSerBaseDispatcher;

// The table's lock, re-entrant on one thread.
void LockDispatcherTable();
void UnlockDispatcherTable();

// Holds the table's lock for a scope.
class TDispatcherTableLock {
 public:
  TDispatcherTableLock() { LockDispatcherTable(); }
  ~TDispatcherTableLock() { UnlockDispatcherTable(); }
  TDispatcherTableLock(const TDispatcherTableLock&) = delete;
  TDispatcherTableLock& operator=(const TDispatcherTableLock&) = delete;
};

// The dispatcher in a slot, or none for a slot out of range or empty. Call it
// with the table's lock held and keep the lock while using the result.
TSerBaseDispatcher* DispatcherAt(int slot);

// Number of slots, empty ones included (trailing empty slots are removed).
int DispatcherTableCount();

// Takes the first empty slot (else appends one) and returns its index.
int RegisterDispatcher(TSerBaseDispatcher* dispatcher);
// Frees the slot, then removes trailing empty slots.
void UnregisterDispatcher(int slot);

}  // namespace ser
