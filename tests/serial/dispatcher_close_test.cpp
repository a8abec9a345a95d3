// Closing from inside handlers, target changes during a delivery, targets
// that do not answer, and repeated open/close without leaks or stray threads.
#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/errors.h"
#include "serial/dispatcher_fixture.h"
#include "serial/dispatcher_table.h"
#include "serial/result_codes.h"

namespace morvel::test {
namespace {

// The same count in the sanitizer builds, where races and leaks show.
constexpr int kCycles = 1000;

TEST_F(DispatcherTest, CloseInsideAHandlerCompletesThroughTheDeferredPath) {
  ASSERT_EQ(Open(), 0);
  bool deliveringInside = false;
  HANDLE deviceAfterClose = nullptr;
  window_.handler = [&](const Notification&) {
    D().CloseLine();
    deliveringInside = D().Delivering;
    deviceAfterClose = D().DeviceHandle.load();
  };
  pty_.Write("RING\r\n");
  ASSERT_TRUE(PumpUntil([&] { return window_.Count(ser::kMsgAvail) == 1; }));
  EXPECT_TRUE(deliveringInside);
  EXPECT_EQ(deviceAfterClose, INVALID_HANDLE_VALUE);  // the device closed at once
  EXPECT_TRUE(D().Closing);
  ASSERT_TRUE(PumpUntil([&] { return !D().ThreadsRunning; }));
  EXPECT_TRUE(D().InBuf.empty());  // the dispatch thread released the line
  PumpFor(std::chrono::milliseconds(100));
  EXPECT_EQ(window_.Count(ser::kMsgAvail), 1u);
}

TEST_F(DispatcherTest, ASecondStartIsRefused) {
  ASSERT_EQ(Open(), 0);
  try {
    D().StartThreads();
    FAIL() << "no exception";
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "Dispatcher already started");
  }
  EXPECT_EQ(D().ThreadCount.load(), 3);
  EXPECT_EQ(D().OpenLine("\\\\.\\COM1", 19200, 0, 8, 1, 4096, 2048, 3), ser::ecAlreadyOpen);
}

TEST_F(DispatcherTest, RemovingATargetDuringADeliveryOnlyMarksIt) {
  NotifyWindow second;
  ASSERT_EQ(Open(), 0);
  D().AddWindowTarget(second.Handle());
  size_t sizeInside = 0;
  bool markedInside = false;
  window_.handler = [&](const Notification&) {
    D().RemoveWindowTarget(second.Handle());
    ser::SectionHold hold(D().DispatcherLock);
    sizeInside = D().WindowTargets.size();
    markedInside = D().WindowTargets[1].Removed;
  };
  pty_.Write("x");
  ASSERT_TRUE(PumpUntil([&] { return window_.Count(ser::kMsgAvail) == 1 && !D().Delivering; }));
  EXPECT_EQ(sizeInside, 2u);
  EXPECT_TRUE(markedInside);
  EXPECT_TRUE(second.received.empty());  // removed before its turn: not called
  ser::SectionHold hold(D().DispatcherLock);
  EXPECT_EQ(D().WindowTargets.size(), 1u);
}

TEST_F(DispatcherTest, ATargetThatDoesNotAnswerIsPassedOver) {
  // A window on a thread that stops serving its queue until released.
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE created = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<HWND> stuckWindow{nullptr};
  std::atomic<int> stuckCalls{0};
  static std::atomic<int>* calls;
  calls = &stuckCalls;
  std::thread stuck([&] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = [](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
      ++*calls;
      return 0;
    };
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "stuckTestWindow";
    RegisterClassA(&windowClass);
    stuckWindow = CreateWindowExA(0, "stuckTestWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    SetEvent(created);
    WaitForSingleObject(release, 20000);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    DestroyWindow(stuckWindow);
    UnregisterClassA("stuckTestWindow", GetModuleHandleA(nullptr));
  });
  ASSERT_EQ(WaitForSingleObject(created, 5000), WAIT_OBJECT_0);
  dispatcher_ = std::make_unique<ser::TSerWin32Dispatcher>(nullptr);
  ASSERT_EQ(D().OpenLine("\\\\.\\COM1", 19200, 0, 8, 1, 4096, 2048, 3), 0);
  D().AddWindowTarget(stuckWindow);  // first in the list
  D().AddWindowTarget(window_.Handle());
  D().SetAvailThreshold(1);
  std::string got;
  window_.handler = [&](const Notification& n) {
    BYTE c;
    for (WPARAM i = 0; i < n.wParam && D().ReadChar(c) == ser::ecOK; ++i) got.push_back(c);
  };
  pty_.Write("late");
  ASSERT_TRUE(PumpUntil([&] { return got.size() == 4; }));
  EXPECT_EQ(got, "late");
  SetEvent(release);
  stuck.join();
  EXPECT_EQ(stuckCalls.load(), 0);  // the timed-out message was not run later
  CloseHandle(release);
  CloseHandle(created);
}

TEST_F(DispatcherTest, ManyOpenCloseCyclesLeaveNothingBehind) {
  pty_.HoldSlaveOpen();
  const int slotsBefore = ser::DispatcherTableCount();
  for (int i = 0; i < kCycles; ++i) {
    ser::TSerWin32Dispatcher d(nullptr);
    ASSERT_EQ(d.OpenLine("\\\\.\\COM1", 19200, 0, 8, 1, 4096, 2048, 3), 0) << "cycle " << i;
    d.AddWindowTarget(window_.Handle());
    d.SetHandlerMode(1);
    ASSERT_EQ(d.WriteBlock("AT\r\n", 4), ser::ecOK);
    d.CloseLine();
    ASSERT_FALSE(d.ThreadsRunning);
  }
  EXPECT_EQ(ser::DispatcherTableCount(), slotsBefore);
  pty_.ReadAvailable();
}

TEST_F(DispatcherTest, ManyClosesFromInsideAHandler) {
  pty_.HoldSlaveOpen();
  for (int i = 0; i < kCycles; ++i) {
    ASSERT_EQ(Open(), 0) << "cycle " << i;
    window_.handler = [&](const Notification&) { D().CloseLine(); };
    pty_.Write("z");
    ASSERT_TRUE(PumpUntil([&] { return D().Closing && !D().ThreadsRunning; })) << "cycle " << i;
    window_.handler = nullptr;
    dispatcher_.reset();
  }
  EXPECT_EQ(window_.Count(ser::kMsgAvail), static_cast<size_t>(kCycles));
}

// A device whose event wait lets go only when told: it reports no event and
// does not end the wait on the mask of 0 a close sets.
class SlowToLetGoDispatcher : public ser::TSerWin32Dispatcher {
 public:
  using TSerWin32Dispatcher::TSerWin32Dispatcher;
  ~SlowToLetGoDispatcher() override { Shutdown(); }

  bool WaitDeviceEvent(DWORD&, OVERLAPPED& overlapped) override {
    waitEvent_ = overlapped.hEvent;
    SetLastError(ERROR_IO_PENDING);
    return false;
  }
  void LetGo() {
    if (HANDLE event = waitEvent_.load()) SetEvent(event);
  }

 private:
  std::atomic<HANDLE> waitEvent_{nullptr};
};

TEST_F(DispatcherTest, ACloseServesAnAnnouncementWhileTheDeviceThreadsEnd) {
  auto slow = std::make_unique<SlowToLetGoDispatcher>(nullptr);
  SlowToLetGoDispatcher* d = slow.get();
  ASSERT_EQ(d->OpenLine("\\\\.\\COM1", 19200, NOPARITY, 8, 1, 4096, kOutSize, 3), 0);
  d->AddWindowTarget(window_.Handle());
  d->SetHandlerMode(1);
  d->SetAvailThreshold(1);
  dispatcher_ = std::move(slow);
  HANDLE handled = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  bool eventThreadRunningInHandler = false;
  window_.handler = [&](const Notification&) {
    {
      std::lock_guard<std::mutex> hold(d->ThreadRefLock);
      eventThreadRunningInHandler = d->ComThreadRef != nullptr;
    }
    SetEvent(handled);
    d->LetGo();
  };
  // The dispatch thread's passes read without device events; wait, without
  // serving it, until its announcement waits for this thread.
  pty_.Write("x");
  ASSERT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 10000, QS_ALLINPUT), WAIT_OBJECT_0);
  std::thread watchdog([&] {
    if (WaitForSingleObject(handled, 10000) != WAIT_OBJECT_0) d->LetGo();
  });
  D().CloseLine();  // the event thread ends only once the handler has run
  watchdog.join();
  EXPECT_EQ(window_.Count(ser::kMsgAvail), 1u);
  EXPECT_TRUE(eventThreadRunningInHandler);
  CloseHandle(handled);
}

TEST_F(DispatcherTest, DestroyingWithoutACloseStopsTheThreads) {
  ASSERT_EQ(Open(), 0);
  pty_.Write("unread");
  ASSERT_TRUE(PumpUntil([&] { return window_.Count(ser::kMsgAvail) == 1; }));
  dispatcher_.reset();  // TearDown checks the thread count
}

}  // namespace
}  // namespace morvel::test
