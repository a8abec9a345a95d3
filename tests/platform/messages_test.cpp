// Windows and message queues across threads.
#include <poll.h>
#include <pthread.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

using namespace std::chrono_literals;

constexpr UINT kAvail = 0x7E01;

std::atomic<int> calls{0};
std::atomic<DWORD> lastThread{0};
std::atomic<int> blockMs{0};

LRESULT TestProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message < WM_USER) return DefWindowProcA(window, message, wParam, lParam);
  ++calls;
  lastThread = GetCurrentThreadId();
  if (blockMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(blockMs.load()));
  return static_cast<LRESULT>(wParam * 2 + static_cast<WPARAM>(lParam));
}

class MessagesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = TestProcedure;
    windowClass.cbWndExtra = 4;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "testWindow";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
  }
  void SetUp() override {
    calls = 0;
    blockMs = 0;
    window_ = CreateWindowExA(0, "testWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  void TearDown() override {
    if (IsWindow(window_)) DestroyWindow(window_);
  }
  // Serves this thread's queue until `done` is ready (at most 5 s).
  template <typename T>
  void PumpUntil(std::future<T>& done) {
    for (int i = 0; i < 5000 && done.wait_for(0ms) != std::future_status::ready; ++i) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
  }
  HWND window_ = nullptr;
};

struct SendResult {
  LRESULT ok;
  DWORD_PTR value;
  DWORD error;
};

std::future<SendResult> SendFromWorker(HWND window, WPARAM wParam, UINT timeout) {
  return std::async(std::launch::async, [=] {
    DWORD_PTR value = 0;
    LRESULT ok = SendMessageTimeoutA(window, kAvail, wParam, 1 << 16, SMTO_BLOCK, timeout, &value);
    return SendResult{ok, value, GetLastError()};
  });
}

TEST_F(MessagesTest, ClassRegistersOnceAndKeepsItsProcedure) {
  WNDCLASSA again{};
  again.lpfnWndProc = TestProcedure;
  again.lpszClassName = "TESTWINDOW";
  EXPECT_EQ(RegisterClassA(&again), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
  WNDCLASSA info{};
  ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "testWindow", &info));
  EXPECT_EQ(info.lpfnWndProc, &TestProcedure);
  EXPECT_EQ(info.cbWndExtra, 4);
  EXPECT_EQ(SetWindowLongA(window_, 0, 1234), 0);
  EXPECT_EQ(GetWindowLongA(window_, 0), 1234);
  EXPECT_EQ(GetWindowLongA(window_, 4), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
}

TEST_F(MessagesTest, SendOnTheOwnerThreadRunsDirectly) {
  DWORD_PTR value = 0;
  EXPECT_TRUE(SendMessageTimeoutA(window_, kAvail, 4, 1, SMTO_BLOCK, 0, &value));
  EXPECT_EQ(value, 9u);
  EXPECT_EQ(lastThread, GetCurrentThreadId());
}

TEST_F(MessagesTest, SendFromAnotherThreadRunsWhenTheOwnerServesItsQueue) {
  int queueFd = GetThreadQueueFd();
  ASSERT_GE(queueFd, 0);
  auto sent = SendFromWorker(window_, 4, 3000);
  // The sender blocks: nothing runs until this thread serves its queue.
  EXPECT_EQ(sent.wait_for(50ms), std::future_status::timeout);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0);
  pollfd readable{queueFd, POLLIN, 0};
  EXPECT_EQ(poll(&readable, 1, 0), 1);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // runs it; no posted message
  ASSERT_EQ(sent.wait_for(5s), std::future_status::ready);
  SendResult result = sent.get();
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.value, 8u + 65536u);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(lastThread, GetCurrentThreadId());
  EXPECT_EQ(poll(&readable, 1, 0), 0);
}

TEST_F(MessagesTest, SendThatTimesOutIsWithdrawnNeverRunLater) {
  auto sent = SendFromWorker(window_, 1, 30);
  ASSERT_EQ(sent.wait_for(5s), std::future_status::ready);
  SendResult result = sent.get();
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, ERROR_TIMEOUT);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(calls, 0);
}

TEST_F(MessagesTest, SendToADestroyedWindowFails) {
  auto sent = SendFromWorker(window_, 1, 5000);
  for (int i = 0;
       i < 500 && MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT) == WAIT_TIMEOUT;
       ++i) {
  }
  ASSERT_TRUE(DestroyWindow(window_));
  ASSERT_EQ(sent.wait_for(5s), std::future_status::ready);
  SendResult result = sent.get();
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(IsWindow(window_));
  DWORD_PTR value = 0;
  EXPECT_FALSE(SendMessageTimeoutA(window_, kAvail, 1, 0, SMTO_BLOCK, 100, &value));
  EXPECT_FALSE(PostMessageA(window_, kAvail, 1, 0));
}

// However close a send comes to the window's destruction, it either runs the
// procedure or fails as sent to an invalid window: never success unrun.
TEST_F(MessagesTest, SendRacingTheDestructionFailsUnlessTheProcedureRan) {
  constexpr int kRounds = 20000;
  std::atomic<HWND> target{nullptr};
  HANDLE go = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::atomic<int> succeeded{0}, otherErrors{0};
  std::thread sender([&] {
    for (int round = 0; round < kRounds; ++round) {
      WaitForSingleObject(go, INFINITE);
      DWORD_PTR value = 0;
      if (SendMessageTimeoutA(target, kAvail, 1, 0, SMTO_BLOCK, 5000, &value)) {
        ++succeeded;
      } else if (GetLastError() != ERROR_INVALID_WINDOW_HANDLE) {
        ++otherErrors;
      }
      SetEvent(done);
    }
  });
  for (int round = 0; round < kRounds; ++round) {
    target = CreateWindowExA(0, "testWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    SetEvent(go);
    // Destroyed at a different moment of the send each round.
    auto until = std::chrono::steady_clock::now() + std::chrono::nanoseconds(round * 7919 % 40000);
    while (std::chrono::steady_clock::now() < until) {
    }
    DestroyWindow(target);
    // Served afterwards: a send that slipped into the queue must not run now.
    while (MsgWaitForMultipleObjects(1, &done, FALSE, 5000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
  }
  sender.join();
  CloseHandle(go);
  CloseHandle(done);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(succeeded, 0) << "sends that reported success with no procedure run";
  EXPECT_EQ(otherErrors, 0);
}

TEST_F(MessagesTest, ManySendersAreServedInOrderByOnePump) {
  std::vector<std::future<SendResult>> senders;
  for (WPARAM i = 0; i < 8; ++i) senders.push_back(SendFromWorker(window_, i, 5000));
  auto all = std::async(std::launch::async, [&] {
    for (auto& sender : senders) sender.wait();
  });
  PumpUntil(all);
  for (WPARAM i = 0; i < 8; ++i) {
    SendResult result = senders[i].get();
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.value, i * 2 + 65536);
  }
  EXPECT_EQ(calls, 8);
}

TEST_F(MessagesTest, PostedMessagesAreReturnedInOrderAndDispatched) {
  ASSERT_TRUE(PostMessageA(window_, WM_USER + 1, 1, 0));
  ASSERT_TRUE(PostMessageA(window_, WM_USER + 2, 2, 0));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1);
  ASSERT_TRUE(PeekMessageA(&msg, window_, WM_USER + 2, WM_USER + 2, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 2);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1);
  EXPECT_EQ(msg.hwnd, window_);
  EXPECT_EQ(DispatchMessageA(&msg), 2);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessagesTest, PostFromAnotherThreadWakesTheOwner) {
  std::thread([this] { PostMessageA(window_, WM_USER + 5, 5, 0); }).join();
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0);
  MSG msg;
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_USER + 5);
}

TEST_F(MessagesTest, MsgWaitReportsAnEventBeforeTheQueue) {
  HANDLE event = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  PostMessageA(window_, WM_USER, 0, 0);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 10, QS_ALLINPUT), WAIT_TIMEOUT);
  CloseHandle(event);
}

TEST_F(MessagesTest, DestroyDropsPostedMessages) {
  PostMessageA(window_, WM_USER, 0, 0);
  ASSERT_TRUE(DestroyWindow(window_));
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

// The one-message pump: a quit taken out is put back with its exit code, and
// comes only after every other posted message.
TEST_F(MessagesTest, QuitPutBackByAPumpStaysLastAndDoesNotWakeWaits) {
  PostQuitMessage(7);
  PostMessageA(window_, WM_USER + 1, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  ASSERT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 7u);
  PostQuitMessage(static_cast<int>(msg.wParam));
  // A pump waiting for a thread is not woken by the quit it put back.
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &never, FALSE, 20, QS_ALLINPUT), WAIT_TIMEOUT);
  CloseHandle(never);
  PostMessageA(window_, WM_USER + 2, 0, 0);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 2);
  EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

// A message the filter leaves out does not make a filtered GetMessageA return
// (nor spin in place of waiting); it stays queued for later.
TEST_F(MessagesTest, FilteredGetMessageWaitsPastMessagesItLeavesOut) {
  std::promise<std::pair<HWND, clockid_t>> waiting;
  std::promise<UINT> got;
  std::thread owner([&] {
    HWND window = CreateWindowExA(0, "testWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    PostMessageA(window, WM_USER + 1, 0, 0);
    clockid_t cpu{};
    pthread_getcpuclockid(pthread_self(), &cpu);
    waiting.set_value({window, cpu});
    MSG msg{};
    BOOL ok = GetMessageA(&msg, nullptr, WM_USER + 2, WM_USER + 2);
    MSG left{};
    bool kept = PeekMessageA(&left, nullptr, 0, 0, PM_REMOVE) && left.message == WM_USER + 1;
    got.set_value(ok && kept ? msg.message : 0);
    DestroyWindow(window);
  });
  auto [window, cpu] = waiting.get_future().get();
  auto result = got.get_future();
  EXPECT_EQ(result.wait_for(200ms), std::future_status::timeout);
  timespec used{};
  clock_gettime(cpu, &used);
  PostMessageA(window, WM_USER + 2, 0, 0);
  ASSERT_EQ(result.wait_for(5s), std::future_status::ready);
  owner.join();
  EXPECT_EQ(result.get(), WM_USER + 2);
  EXPECT_LT(used.tv_sec * 1000 + used.tv_nsec / 1000000, 50) << "ms of CPU while waiting";
}

TEST_F(MessagesTest, SendsFailWhenTheOwnerThreadEnds) {
  std::promise<HWND> created;
  std::promise<void> finish;
  std::thread owner([&] {
    created.set_value(CreateWindowExA(0, "testWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr));
    finish.get_future().wait();
  });
  HWND window = created.get_future().get();
  auto sent = SendFromWorker(window, 1, 10000);
  EXPECT_EQ(sent.wait_for(50ms), std::future_status::timeout);
  finish.set_value();
  owner.join();
  ASSERT_EQ(sent.wait_for(5s), std::future_status::ready);
  EXPECT_FALSE(sent.get().ok);
  EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
}

}  // namespace
