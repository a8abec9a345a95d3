// A device that goes away: one notification to every target, whatever its
// handlers, and a dispatcher that then costs no more than an idle one.
#include <time.h>

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

}  // namespace
}  // namespace morvel::test
