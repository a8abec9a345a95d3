// The one lock and condition behind every waitable object. Waits are few and
// short-lived, so a single shared condition keeps wait-any simple and free of
// lost wake-ups: whoever changes a waitable state notifies it under its lock.
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/handle_table.h"

struct WaitHub {
  std::mutex mutex;
  std::condition_variable changed;
};

WaitHub& Hub();

// An object a wait can be satisfied by. Both calls run with Hub().mutex held.
struct WaitableObject : PlatformObject {
  virtual bool Signalled() const = 0;
  // Called on the object that satisfied a wait (an auto-reset event resets).
  virtual void Acquire() {}
};
