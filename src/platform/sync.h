// Events, waits, critical sections and interlocked counters.
#pragma once

#include <atomic>
#include <mutex>

#include "win_types.h"

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED = 0x80;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// Security attributes and names are accepted and ignored.
HANDLE CreateEventA(SECURITY_ATTRIBUTES* attributes, BOOL manualReset, BOOL initialState,
                    const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Events and threads are waitable: an event while signalled (an auto-reset
// event is reset by the wait it satisfies), a thread once it has ended.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// waitAll must be FALSE: returns WAIT_OBJECT_0 + the index of the first
// signalled handle, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

constexpr DWORD QS_ALLINPUT = 0x04FF;
// As WaitForMultipleObjects, but also returns WAIT_OBJECT_0 + count when the
// calling thread's message queue holds a sent or posted message.
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask);

// Re-entrant on one thread, like a Win32 critical section.
struct CRITICAL_SECTION {
  std::recursive_mutex mutex;
};
void InitializeCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);

LONG InterlockedIncrement(std::atomic<LONG>* value);
LONG InterlockedDecrement(std::atomic<LONG>* value);
