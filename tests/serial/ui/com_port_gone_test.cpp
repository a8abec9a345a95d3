// The port whose device goes away and comes back: it closes itself and says
// so once, sends nothing meanwhile, opens the device again with its settings
// once its COM number leads to another, reports a busy device once, and
// stops looking once it is closed or moved to another COM number.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "serial/ui/port_test_support.h"
#include "support/pty_pair.h"

namespace morvel::test {
namespace {

// Serves the port's notifications and Qt's timers until `done` holds.
template <class Done>
bool ServeUntil(Done done) {
  return PumpUntil(done, [] { QCoreApplication::processEvents(); });
}

class ComPortGone : public testing::Test {
 protected:
  ComPortGone() {
    HideMachinePorts(folder_);
    folder_.Link(3, pty_.SlavePath());
    port_.SetComNumber(3);
    port_.SetOnPortGone([this](TComponent*) { ++gone_; });
    port_.SetOnPortBack([this](TComponent*) { ++back_; });
  }

  // The device the port uses hangs up.
  void HangUp(PtyPair& line) {
    const int before = gone_;
    port_.WriteText("AT\r\n");
    ASSERT_EQ(line.ReadExactly(4), "AT\r\n");
    line.CloseMaster();
    ASSERT_TRUE(ServeUntil([&] { return gone_ == before + 1; }));
  }
  void HangUp() { HangUp(pty_); }

  PortFolder folder_;
  PtyPair pty_;
  ReportRecorder reports_;
  TestPort port_{nullptr};
  int gone_ = 0, back_ = 0;
};

TEST_F(ComPortGone, ItClosesOnceAndOpensTheReturnedDeviceWithItsSettings) {
  const std::string device = std::filesystem::canonical(pty_.SlavePath()).string();
  const std::string trace = folder_.Path() + "/SERIAL.TRC";
  port_.SetTraceName(trace);
  port_.SetBaud(9600);
  port_.SetTracing(tlOn);
  HangUp();
  EXPECT_EQ(port_.Gone(), DevicePresence::kHungUp);
  EXPECT_EQ(port_.DevicePath(), device);
  EXPECT_EQ(port_.ActiveDispatcher, nullptr);
  port_.WriteText("lost\r\n");  // nothing sent, nothing raised, no open tried
  port_.LookForDevice();        // nothing new under COM3
  EXPECT_EQ(back_, 0);

  PtyPair again;
  folder_.Link(3, again.SlavePath());
  ASSERT_TRUE(ServeUntil([&] { return back_ == 1; }));  // the watch's look
  EXPECT_EQ(port_.Gone(), DevicePresence::kPresent);
  DWORD baud = 0;
  BYTE parity = 0, dataBits = 0, stopBits = 0;
  port_.ActiveDispatcher->GetLineParams(baud, parity, dataBits, stopBits);
  EXPECT_EQ(baud, 9600u);
  port_.WriteText("back\r\n");
  EXPECT_EQ(again.ReadExactly(6), "back\r\n");
  port_.SetOpen(false);
  // The trace of the first device is still in the file, before the second's.
  std::ifstream file(trace, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_LT(text.str().find("AT"), text.str().find("back")) << text.str();
  EXPECT_EQ(text.str().find("lost"), std::string::npos);
  EXPECT_EQ(gone_, 1);
  EXPECT_TRUE(reports_.Reports().empty());
}

TEST_F(ComPortGone, ABusyDeviceIsReportedOnceAndTakenOnceLetGo) {
  HangUp();
  PtyPair busy;
  const int holder = open(busy.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  folder_.Link(3, busy.SlavePath());
  for (int look = 0; look < 3; ++look) port_.LookForDevice();
  using Report = std::pair<std::string, std::string>;
  EXPECT_EQ(reports_.Reports(),
            (std::vector<Report>{{"Morvel", "ie_Open - device already open."}}));
  EXPECT_EQ(back_, 0);
  close(holder);
  port_.LookForDevice();
  EXPECT_EQ(back_, 1);
  EXPECT_EQ(reports_.Reports().size(), 1u);
}

// Re-pointing the link is itself what tells the port that its device went
// away, so the device it now leads to is there from the start: it is taken.
// So is a device whose link is taken away and put back (it did not hang up).
TEST_F(ComPortGone, ARePointedLinkLeadsToTheDeviceItNowNames) {
  port_.WriteText("AT\r\n");
  ASSERT_EQ(pty_.ReadExactly(4), "AT\r\n");
  PtyPair other;
  folder_.Link(3, other.SlavePath());
  ASSERT_TRUE(ServeUntil([&] { return back_ == 1; }));
  port_.WriteText("next\r\n");
  EXPECT_EQ(other.ReadExactly(6), "next\r\n");
  folder_.Link(3, "/nonexistent/morvel-test-port");
  ASSERT_TRUE(ServeUntil([&] { return gone_ == 2; }));
  folder_.Link(3, other.SlavePath());
  port_.LookForDevice();
  EXPECT_EQ(back_, 2);
  EXPECT_TRUE(reports_.Reports().empty());
}

// Closed, or moved to another COM number, while its device is gone, the port
// stops looking for it: a device linked afterwards is left alone.
TEST_F(ComPortGone, AClosedOrRenumberedPortStopsLooking) {
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"closed", [&] { port_.SetOpen(false); }},
      {"another COM number", [&] { port_.SetComNumber(4); }},
  };
  for (const auto& [what, leave] : cases) {
    SCOPED_TRACE(what);
    PtyPair line;
    folder_.Link(3, line.SlavePath());
    port_.SetComNumber(3);
    HangUp(line);
    leave();
    PtyPair next;
    folder_.Link(3, next.SlavePath());
    folder_.Link(4, next.SlavePath());
    port_.LookForDevice();
    EXPECT_EQ(port_.ActiveDispatcher, nullptr);
    EXPECT_EQ(port_.Gone(), DevicePresence::kPresent);
  }
  EXPECT_EQ(back_, 0);
}

}  // namespace
}  // namespace morvel::test
