// The dispatcher's threads when something goes wrong in them (a target that
// throws, a target that will not return in time) and their priorities.
#include <array>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/threads.h"
#include "serial/dispatcher_fixture.h"
#include "serial/result_codes.h"
#include "serial/thread_class.h"
#include "serial/thread_error_report.h"

namespace morvel::test {
namespace {

TEST_F(DispatcherTest, ATargetThatThrowsEndsOnlyTheDispatchThread) {
  ASSERT_EQ(Open(), 0);
  static std::atomic<int> throws;
  throws = 0;
  ser::TSerNotifyProc thrower = [](UINT message, WPARAM, LPARAM) {
    if (message != ser::kMsgAvail) return;
    ++throws;
    throw std::runtime_error("handler failed");
  };
  D().AddProcTarget(thrower);
  std::mutex reportedLock;
  std::vector<std::string> reported;
  ser::SetThreadErrorReport([&](const std::string& message) {
    std::lock_guard<std::mutex> hold(reportedLock);
    reported.push_back(message);
  });
  pty_.Write("OK\r\n");
  ASSERT_TRUE(PumpUntil([&] { return D().ThreadCount.load() == 2; }));
  ser::SetThreadErrorReport(nullptr);
  {
    std::lock_guard<std::mutex> hold(reportedLock);
    EXPECT_EQ(reported, std::vector<std::string>{"handler failed"});
  }
  {
    std::lock_guard<std::mutex> hold(D().ThreadRefLock);
    EXPECT_EQ(D().DispThreadRef, nullptr);  // gone through the thread-end step
    EXPECT_NE(D().ComThreadRef, nullptr);
    EXPECT_NE(D().OutThreadRef, nullptr);
  }
  EXPECT_EQ(throws.load(), 1);
  EXPECT_EQ(window_.Count(ser::kMsgAvail), 0u);  // its turn came after the throw
  // The delivery was ended: reads outside a handler consume again.
  EXPECT_FALSE(D().Delivering);
  EXPECT_EQ(D().InputCount(), 4u);
  EXPECT_EQ(ReadChars(D()), "OK\r\n");
  BYTE c;
  EXPECT_EQ(D().PeekAt(c, 1), ser::ecBufferIsEmpty);
  // Output does not depend on the dispatch thread.
  ASSERT_EQ(D().WriteBlock("AT\r\n", 4), ser::ecOK);
  EXPECT_EQ(pty_.ReadExactly(4), "AT\r\n");
  // The close releases at once instead of waiting for the ended thread.
  D().CloseLine();
  EXPECT_FALSE(D().Closing);
  EXPECT_FALSE(D().ThreadsRunning);
  EXPECT_TRUE(D().InBuf.empty());
  D().RemoveProcTarget(thrower);
}

// The stuck target and the window procedure meet through these.
HANDLE gGate = nullptr;
HANDLE gEntered = nullptr;
std::mutex gStepsLock;
std::vector<std::string> gSteps;

void Step(const std::string& step) {
  std::lock_guard<std::mutex> hold(gStepsLock);
  gSteps.push_back(step);
}

TEST_F(DispatcherTest, ADispatchThreadOutlastingTheStopIsWaitedForByTheDestruction) {
  gGate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  gEntered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  gSteps.clear();
  ASSERT_EQ(Open(), 0);
  ser::TSerNotifyProc stuck = [](UINT message, WPARAM, LPARAM) {
    if (message != ser::kMsgAvail) return;
    SetEvent(gEntered);
    WaitForSingleObject(gGate, 30000);
    Step("target returned");
  };
  D().AddProcTarget(stuck);
  pty_.Write("x");
  ASSERT_EQ(WaitForSingleObject(gEntered, 5000), WAIT_OBJECT_0);
  D().CloseLine();  // deferred: the device closes, the dispatch thread is stuck
  ASSERT_TRUE(D().Closing);
  EXPECT_EQ(D().ThreadCount.load(), 1);

  // Posted now, served by the destruction's message pumping: once the stop
  // has given up (it leaves the release to the thread that still runs) it
  // opens the gate; before that it asks again.
  ser::TSerWin32Dispatcher* d = &D();
  bool threadAliveAtGate = false;
  bool ringsKeptAtGate = false;
  constexpr WPARAM kGateMessage = 0x6A7E;
  window_.handler = [&](const Notification& n) {
    if (n.message != ser::kMsgTimer || n.wParam != kGateMessage) return;
    if (!d->ReleaseOnExit) {
      Sleep(20);
      PostMessageA(window_.Handle(), ser::kMsgTimer, kGateMessage, 0);
      return;
    }
    {
      std::lock_guard<std::mutex> hold(d->ThreadRefLock);
      threadAliveAtGate = d->DispThreadRef != nullptr && d->ThreadCount.load() == 1;
    }
    {
      ser::SectionHold hold(d->InputLock);
      ringsKeptAtGate = !d->InBuf.empty();
    }
    Step("stop gave up");
    SetEvent(gGate);
  };
  PostMessageA(window_.Handle(), ser::kMsgTimer, kGateMessage, 0);
  dispatcher_.reset();
  Step("destroyed");
  EXPECT_TRUE(threadAliveAtGate);
  EXPECT_TRUE(ringsKeptAtGate);  // never freed under a thread that may read them
  EXPECT_EQ(gSteps, (std::vector<std::string>{"stop gave up", "target returned", "destroyed"}));
  CloseHandle(gGate);
  CloseHandle(gEntered);
}

TEST_F(DispatcherTest, ThreadBoostAndRS485SetThePriorities) {
  ASSERT_EQ(Open(), 0);
  auto priorities = [&] {
    std::lock_guard<std::mutex> hold(D().ThreadRefLock);
    return std::array<int, 3>{GetThreadPriority(D().ComThreadRef->ThreadHandle()),
                              GetThreadPriority(D().DispThreadRef->ThreadHandle()),
                              GetThreadPriority(D().OutThreadRef->ThreadHandle())};
  };
  using Levels = std::array<int, 3>;
  constexpr int kNormal = THREAD_PRIORITY_NORMAL, kAbove = THREAD_PRIORITY_ABOVE_NORMAL,
                kHighest = THREAD_PRIORITY_HIGHEST;
  EXPECT_EQ(priorities(), (Levels{kNormal, kNormal, kNormal}));
  // A pty has no RS-485 support: the mode is kept as state.
  D().ApplyRS485Mode(true);
  EXPECT_TRUE(D().RS485On);
  EXPECT_EQ(priorities(), (Levels{kNormal, kNormal, kAbove}));
  D().ApplyThreadBoost(1);
  EXPECT_EQ(priorities(), (Levels{kAbove, kAbove, kHighest}));
  D().ApplyRS485Mode(false);
  EXPECT_FALSE(D().RS485On);
  EXPECT_EQ(priorities(), (Levels{kAbove, kAbove, kAbove}));
  // The same boost again touches nothing.
  {
    std::lock_guard<std::mutex> hold(D().ThreadRefLock);
    SetThreadPriority(D().ComThreadRef->ThreadHandle(), THREAD_PRIORITY_LOWEST);
  }
  D().ApplyThreadBoost(1);
  EXPECT_EQ(priorities()[0], THREAD_PRIORITY_LOWEST);
  // Boosts past the top of the scale stop there.
  D().ApplyThreadBoost(5);
  EXPECT_EQ(priorities(), (Levels{THREAD_PRIORITY_TIME_CRITICAL, THREAD_PRIORITY_TIME_CRITICAL,
                                  THREAD_PRIORITY_TIME_CRITICAL}));
  // The boost outlives a close: the threads of the next open get it.
  D().ApplyThreadBoost(2);
  D().ApplyRS485Mode(true);
  pty_.HoldSlaveOpen();
  D().CloseLine();
  ASSERT_EQ(D().OpenLine("\\\\.\\COM1", 19200, 0, 8, 1, 4096, 2048, 3), 0);
  EXPECT_FALSE(D().RS485On);  // an open starts without RS-485
  EXPECT_EQ(priorities(), (Levels{kHighest, kHighest, kHighest}));
}

TEST_F(DispatcherTest, UnderRS485HardwareFlowLeavesRtsToTheDriver) {
  ASSERT_EQ(Open(), 0);
  D().ApplyRS485Mode(true);
  D().SetHardwareFlow(3686, 409, 0);
  {
    ser::SectionHold hold(D().DispatcherLock);
    EXPECT_EQ(D().DeviceSettings.fRtsControl, static_cast<DWORD>(RTS_CONTROL_TOGGLE));
    EXPECT_TRUE(D().RtsAuto);
  }
  EXPECT_EQ(D().SetRtsState(false), 1);  // RTS is the driver's while sending
}

}  // namespace
}  // namespace morvel::test
