#include "serial/dispatcher_table.h"

#include <vector>

#include "platform/sync.h"

namespace ser {

namespace {

// Created at first use and kept to the end of the program: a window message
// may look a slot up at any time, even while static objects are going.
struct DispatcherTable {
  DispatcherTable() { InitializeCriticalSection(&lock); }
  CRITICAL_SECTION lock;
  std::vector<TSerBaseDispatcher*> slots;
};

DispatcherTable& Table() {
  static DispatcherTable* table = new DispatcherTable;
  return *table;
}

}  // namespace

void LockDispatcherTable() {
  EnterCriticalSection(&Table().lock);
}

void UnlockDispatcherTable() {
  LeaveCriticalSection(&Table().lock);
}

TSerBaseDispatcher* DispatcherAt(int slot) {
  TDispatcherTableLock hold;
  auto& slots = Table().slots;
  if (slot < 0 || slot >= static_cast<int>(slots.size())) return nullptr;
  return slots[slot];
}

int DispatcherTableCount() {
  TDispatcherTableLock hold;
  return static_cast<int>(Table().slots.size());
}

int RegisterDispatcher(TSerBaseDispatcher* dispatcher) {
  TDispatcherTableLock hold;
  auto& slots = Table().slots;
  for (size_t i = 0; i < slots.size(); ++i) {
    if (slots[i] == nullptr) {
      slots[i] = dispatcher;
      return static_cast<int>(i);
    }
  }
  slots.push_back(dispatcher);
  return static_cast<int>(slots.size() - 1);
}

void UnregisterDispatcher(int slot) {
  TDispatcherTableLock hold;
  auto& slots = Table().slots;
  if (slot < 0 || slot >= static_cast<int>(slots.size())) return;
  slots[slot] = nullptr;
  while (!slots.empty() && slots.back() == nullptr) slots.pop_back();
}

}  // namespace ser
