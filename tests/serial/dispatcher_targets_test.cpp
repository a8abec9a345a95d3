// Who hears of a notification in which order (event targets, then procedure
// targets, then windows), and that a removed event target hears nothing more.
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "serial/dispatcher_fixture.h"
#include "serial/result_codes.h"

namespace morvel::test {
namespace {

std::mutex gHeardLock;
std::vector<std::string> gHeard;
// Contexts outlive the test: a target left behind by a failed check may
// still be called until the fixture closes the line.
std::string gFirst = "first";
std::string gSecond = "second";

void Hear(const std::string& who) {
  std::lock_guard<std::mutex> hold(gHeardLock);
  gHeard.push_back(who);
}

std::vector<std::string> TakeHeard() {
  std::lock_guard<std::mutex> hold(gHeardLock);
  return std::exchange(gHeard, {});
}

size_t HeardCount() {
  std::lock_guard<std::mutex> hold(gHeardLock);
  return gHeard.size();
}

void EventHeard(void* context, UINT message, WPARAM, LPARAM) {
  if (message == ser::kMsgAvail) Hear(*static_cast<const std::string*>(context));
}

void ProcHeard(UINT message, WPARAM, LPARAM) {
  if (message == ser::kMsgAvail) Hear("proc");
}

TEST_F(DispatcherTest, EventTargetsHearFirstAndARemovedOneNoMore) {
  TakeHeard();
  ASSERT_EQ(Open(), 0);
  window_.handler = [&](const Notification& n) {
    if (n.message != ser::kMsgAvail) return;
    ReadChars(D());
    Hear("window");
  };
  D().AddProcTarget(ProcHeard);
  D().AddEventTarget(EventHeard, &gFirst);
  D().AddEventTarget(EventHeard, &gSecond);

  pty_.Write("A");
  ASSERT_TRUE(PumpUntil([] { return HeardCount() == 4; }));
  EXPECT_EQ(TakeHeard(), (std::vector<std::string>{"first", "second", "proc", "window"}));

  D().RemoveEventTarget(EventHeard, &gFirst);
  pty_.Write("B");
  ASSERT_TRUE(PumpUntil([] { return HeardCount() == 3; }));
  EXPECT_EQ(TakeHeard(), (std::vector<std::string>{"second", "proc", "window"}));

  D().RemoveEventTarget(EventHeard, &gSecond);
  D().RemoveProcTarget(ProcHeard);
}

}  // namespace
}  // namespace morvel::test
