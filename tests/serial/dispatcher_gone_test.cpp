// A device that goes away: one notification to every target, whatever its
// handlers, that no target can miss, and a dispatcher that then costs no
// more than an idle one.
#include <time.h>

#include <thread>

#include "dispatcher_fixture.h"

namespace morvel::test {
namespace {

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

TEST_F(DispatcherTest, ADeviceGoneIsToldOnceAndThenCostsNothing) {
  PtyPair other;
  struct Case {
    const char* what;
    std::function<void()> goAway;
    DevicePresence told;
  };
  const Case cases[] = {
      {"link removed", [&] { folder_.Unlink(1); }, DevicePresence::kRemoved},
      {"link to another device", [&] { folder_.Link(1, other.SlavePath()); },
       DevicePresence::kRemoved},
      {"hang-up", [&] { pty_.CloseMaster(); }, DevicePresence::kHungUp},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    folder_.Link(1, pty_.SlavePath());
    ASSERT_EQ(Open(), 0);
    D().SetHandlerMode(2);  // no handlers: only the gone notification goes out
    window_.received.clear();
    c.goAway();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(PumpUntil([&] { return window_.Count(ser::kMsgDeviceGone) == 1; }));
    EXPECT_EQ(window_.received.back().wParam, static_cast<WPARAM>(c.told));
    EXPECT_EQ(D().Gone, c.told);
    // Another look's worth of passes: told once, and nothing spins.
    const double cpu = ProcessCpuSeconds();
    PumpFor(std::chrono::milliseconds(1200));
    EXPECT_EQ(window_.received.size(), 1u);
    EXPECT_LT(ProcessCpuSeconds() - cpu, 0.2);
    dispatcher_.reset();
  }
}

// Waits without serving this thread's messages, as a window busy elsewhere.
bool WaitUnserved(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// The notice reaches the window however it was put at risk: the window busy
// while the dispatch thread goes on past it, no window yet when the device
// was found gone, and a second going after the same dispatcher opened again.
TEST_F(DispatcherTest, AGoneNoticeReachesTheWindowWhateverItsTiming) {
  auto found = [&] { return D().Gone != DevicePresence::kPresent; };
  struct Case {
    const char* what;
    std::function<void()> goAway;
    size_t told;
  };
  const Case cases[] = {
      {"window busy",
       [&] {
         ASSERT_EQ(Open(), 0);
         D().SetHandlerMode(2);
         folder_.Unlink(1);
         ASSERT_TRUE(WaitUnserved(found));
         // A byte read into the ring after the device was found gone shows
         // that the dispatch thread has gone on past the notice.
         pty_.Write("x");
         ASSERT_TRUE(WaitUnserved([&] { return D().InputCount() == 1; }));
       },
       1},
      {"no window yet",
       [&] {
         dispatcher_ = std::make_unique<ser::TSerWin32Dispatcher>(nullptr);
         D().DeviceName = "COM1";
         ASSERT_EQ(D().OpenLine("\\\\.\\COM1", 19200, NOPARITY, 8, 1, 4096, kOutSize, 0), 0);
         folder_.Unlink(1);
         ASSERT_TRUE(WaitUnserved(found));
         D().AddWindowTarget(window_.Handle());
       },
       1},
      {"opened again",
       [&] {
         ASSERT_EQ(Open(), 0);
         folder_.Unlink(1);
         ASSERT_TRUE(PumpUntil([&] { return window_.Count(ser::kMsgDeviceGone) == 1; }));
         folder_.Link(1, pty_.SlavePath());
         ASSERT_EQ(Reopen(), 0);
         EXPECT_EQ(D().Gone, DevicePresence::kPresent);
         folder_.Unlink(1);
       },
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    folder_.Link(1, pty_.SlavePath());
    window_.received.clear();
    c.goAway();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(PumpUntil([&] { return window_.Count(ser::kMsgDeviceGone) == c.told; }));
    PumpFor(std::chrono::milliseconds(1200));  // a look more: no notice twice
    EXPECT_EQ(window_.Count(ser::kMsgDeviceGone), c.told);
    EXPECT_EQ(window_.received.back().wParam, static_cast<WPARAM>(DevicePresence::kRemoved));
    dispatcher_.reset();
  }
}

}  // namespace
}  // namespace morvel::test
