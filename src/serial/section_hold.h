// Holds a critical section for the life of a scope, so every return path of
// a recorder operation releases the dispatcher's lock.
#pragma once

#include "platform/sync.h"

namespace ser {

class SectionHold {
 public:
  explicit SectionHold(CRITICAL_SECTION& section) : section_(section) {
    EnterCriticalSection(&section_);
  }
  ~SectionHold() { LeaveCriticalSection(&section_); }
  SectionHold(const SectionHold&) = delete;
  SectionHold& operator=(const SectionHold&) = delete;

 private:
  CRITICAL_SECTION& section_;
};

}  // namespace ser
