// Events, waits, critical sections and threads across real threads.
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

using namespace std::chrono_literals;

TEST(Events, AutoResetReleasesOneWaitManualResetStays) {
  HANDLE autoEvent = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  HANDLE manualEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(manualEvent, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manualEvent, 0), WAIT_OBJECT_0);
  ASSERT_TRUE(ResetEvent(manualEvent));
  EXPECT_EQ(WaitForSingleObject(manualEvent, 10), WAIT_TIMEOUT);
  CloseHandle(autoEvent);
  CloseHandle(manualEvent);
}

TEST(Events, WaitAnyGivesTheFirstSignalledAndTimesOut) {
  HANDLE events[3] = {CreateEventA(nullptr, FALSE, FALSE, nullptr),
                      CreateEventA(nullptr, FALSE, FALSE, nullptr),
                      CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 20), WAIT_TIMEOUT);
  SetEvent(events[2]);
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 2);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 2);
  EXPECT_EQ(WaitForMultipleObjects(3, events, TRUE, 0), WAIT_FAILED);
  for (HANDLE event : events) CloseHandle(event);
  EXPECT_EQ(WaitForSingleObject(events[0], 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(SetEvent(events[0]));
}

TEST(Events, InfiniteWaitIsReleasedFromAnotherThread) {
  HANDLE ready = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE go = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::atomic<DWORD> result{WAIT_FAILED};
  std::thread waiter([&] {
    SetEvent(ready);
    result = WaitForSingleObject(go, INFINITE);
  });
  ASSERT_EQ(WaitForSingleObject(ready, 5000), WAIT_OBJECT_0);
  SetEvent(go);
  waiter.join();
  EXPECT_EQ(result, WAIT_OBJECT_0);
  // The auto-reset event was consumed by the wait it released.
  EXPECT_EQ(WaitForSingleObject(go, 0), WAIT_TIMEOUT);
  CloseHandle(ready);
  CloseHandle(go);
}

TEST(Events, EachSetReleasesExactlyOneOfManyWaiters) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i) {
    waiters.emplace_back([&] {
      if (WaitForSingleObject(event, 5000) == WAIT_OBJECT_0) ++released;
    });
  }
  for (int i = 0; i < 4; ++i) {
    SetEvent(event);
    for (int spin = 0; spin < 500 && released < i + 1; ++spin) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(released, i + 1);
  }
  for (auto& waiter : waiters) waiter.join();
  CloseHandle(event);
}

TEST(Threads, HandleIsSignalledWhenTheBodyEnds) {
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<bool> ran{false};
  DWORD id = 0;
  HANDLE thread = CreateThread(
      [&] {
        WaitForSingleObject(go, 5000);
        ran = true;
      },
      &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
  SetEvent(go);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(ran);
  // An ended thread stays signalled.
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
  CloseHandle(thread);
  CloseHandle(go);
}

TEST(Threads, HandleClosedEarlyLeavesTheThreadRunning) {
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(
      [go, done] {
        WaitForSingleObject(go, 5000);
        SetEvent(done);
      },
      nullptr);
  ASSERT_TRUE(CloseHandle(thread));
  SetEvent(go);
  EXPECT_EQ(WaitForSingleObject(done, 5000), WAIT_OBJECT_0);
  CloseHandle(go);
  CloseHandle(done);
}

TEST(Threads, PriorityIsKeptEvenWhenItCannotBeRaised) {
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread([go] { WaitForSingleObject(go, 5000); }, nullptr);
  for (int priority :
       {THREAD_PRIORITY_TIME_CRITICAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_ABOVE_NORMAL,
        THREAD_PRIORITY_NORMAL, THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_LOWEST,
        THREAD_PRIORITY_IDLE}) {
    EXPECT_TRUE(SetThreadPriority(thread, priority)) << priority;
    EXPECT_EQ(GetThreadPriority(thread), priority);
  }
  EXPECT_FALSE(SetThreadPriority(thread, 7));
  SetEvent(go);
  ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  // After the end the wish is still taken, without touching another thread.
  EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST));
  CloseHandle(thread);
  CloseHandle(go);
  EXPECT_EQ(GetThreadPriority(go), THREAD_PRIORITY_ERROR_RETURN);
}

TEST(Threads, MainThreadIsTheProcessItself) {
  DWORD main = GetMainThreadId();
  std::atomic<DWORD> other{0};
  std::thread([&] { other = GetCurrentThreadId(); }).join();
  EXPECT_NE(other, main);
  EXPECT_NE(other, 0u);
}

TEST(CriticalSections, ReentrantOnOneThreadExclusiveAcrossThreads) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EnterCriticalSection(&section);
  std::atomic<BOOL> other{TRUE};
  std::thread([&] { other = TryEnterCriticalSection(&section); }).join();
  EXPECT_FALSE(other);
  LeaveCriticalSection(&section);
  std::thread([&] { other = TryEnterCriticalSection(&section); }).join();
  EXPECT_FALSE(other);
  LeaveCriticalSection(&section);
  std::thread([&] {
    other = TryEnterCriticalSection(&section);
    if (other) LeaveCriticalSection(&section);
  }).join();
  EXPECT_TRUE(other);
  DeleteCriticalSection(&section);
}

TEST(Interlocked, CountsFromManyThreads) {
  std::atomic<LONG> count{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&] {
      for (int j = 0; j < 10000; ++j) {
        InterlockedIncrement(&count);
        InterlockedIncrement(&count);
        InterlockedDecrement(&count);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(count, 40000);
  EXPECT_EQ(InterlockedDecrement(&count), 39999);
}

}  // namespace
