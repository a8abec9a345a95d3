// Time: a monotonic high-resolution counter, a millisecond clock and sleeping.
#pragma once

#include "win_types.h"

BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
// Milliseconds of a monotonic clock, wrapping at 2^32.
DWORD timeGetTime();
void Sleep(DWORD milliseconds);
