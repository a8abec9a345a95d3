// Threads with the seven-step priority scale of Win32.
#pragma once

#include <functional>

#include "win_types.h"

constexpr int THREAD_PRIORITY_IDLE = -15;
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;
// What GetThreadPriority returns for a handle that is not a thread.
constexpr int THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF;

// Starts `body` on a new thread. The handle is waitable (signalled when the
// body has returned) and may be closed at any time: closing it before the end
// leaves the thread running and freeing itself when it ends.
HANDLE CreateThread(std::function<void()> body, DWORD* threadId);

// Maps the seven steps onto what Linux allows without privileges; a priority
// that cannot be raised is kept as a wish and never makes the call fail.
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);

DWORD GetCurrentThreadId();
// The id of the program's main thread (the one that started the process).
DWORD GetMainThreadId();
