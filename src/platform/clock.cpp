#include "platform/clock.h"

#include <sched.h>
#include <time.h>

namespace {

constexpr std::int64_t kNanosPerSecond = 1000000000;

std::int64_t MonotonicNanos() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * kNanosPerSecond + now.tv_nsec;
}

}  // namespace

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
  count->QuadPart = MonotonicNanos();
  return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  frequency->QuadPart = kNanosPerSecond;
  return TRUE;
}

DWORD timeGetTime() {
  return static_cast<DWORD>(MonotonicNanos() / 1000000);
}

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  timespec left{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0) {
  }
}
