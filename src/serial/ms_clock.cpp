#include "serial/ms_clock.h"

#include "platform/clock.h"

namespace ser {

namespace {

// Counter ticks per millisecond; 0 when there is no high-resolution counter.
std::int64_t TicksPerMillisecond() {
  static const std::int64_t ticks = [] {
    LARGE_INTEGER frequency{};
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return std::int64_t{0};
    std::int64_t perMs = frequency.QuadPart / 1000;
    if (frequency.QuadPart % 1000 > 500) ++perMs;
    return perMs;
  }();
  return ticks;
}

}  // namespace

DWORD MillisecondClock() {
  std::int64_t perMs = TicksPerMillisecond();
  LARGE_INTEGER count{};
  if (perMs == 0 || !QueryPerformanceCounter(&count)) return timeGetTime();
  return static_cast<DWORD>(count.QuadPart / perMs);
}

}  // namespace ser
