// The objects behind HANDLEs and the table that keeps them alive: a call looks
// its handle up and holds a reference for its duration, so a concurrent
// CloseHandle never frees an object another thread is still using.
#pragma once

#include <memory>

#include "win_types.h"

struct PlatformObject {
  virtual ~PlatformObject() = default;
  // Runs once, when the handle is closed; other threads' calls may still hold
  // references to the object.
  virtual void Close() {}
};

// Enters a new object in the table; its address is the handle.
HANDLE RegisterHandle(std::shared_ptr<PlatformObject> object);

// The object behind a handle, or nothing (last error ERROR_INVALID_HANDLE).
std::shared_ptr<PlatformObject> LookupHandle(HANDLE handle);

void SetLastErrorInvalidHandle();

// The object behind a handle when it is of type T, else nothing (last error
// ERROR_INVALID_HANDLE).
template <typename T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
  auto object = std::dynamic_pointer_cast<T>(LookupHandle(handle));
  if (!object) SetLastErrorInvalidHandle();
  return object;
}
