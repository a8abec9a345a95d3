// Timer, data-match and status triggers through the real dispatch thread;
// the matcher and tick timers alone; save and restore across a re-open.
#include "serial/triggers.h"
#include <cstring>

#include "serial/dispatcher_fixture.h"
#include "serial/result_codes.h"
#include "serial/tick_timer.h"

namespace morvel::test {
namespace {

TEST_F(DispatcherTest, OutputUsedTriggerWithValueZeroFiresOnAnEmptyRing) {
  ASSERT_EQ(Open(), 0);
  int handle = D().AddStatusTrigger(ser::stOutbuffUsed, 0);
  ASSERT_GT(handle, 0);
  EXPECT_EQ(handle & 7, ser::stOutbuffUsed);
  ASSERT_TRUE(PumpUntil([&] { return window_.Count(ser::kMsgStatus) == 1; }));
  const Notification& n = window_.received.back();
  EXPECT_EQ(n.wParam, static_cast<WPARAM>(handle));
  EXPECT_EQ(n.lParam & 0xFFFF, 0);  // reported count
  PumpFor(std::chrono::milliseconds(150));
  EXPECT_EQ(window_.Count(ser::kMsgStatus), 1u);  // fired triggers stay inactive
  ser::SectionHold hold(D().DispatcherLock);
  EXPECT_EQ(D().StatusTriggerList[0].Active, 0);
}

TEST_F(DispatcherTest, OutputSentTriggerFiresAfterAWrite) {
  ASSERT_EQ(Open(), 0);
  int handle = D().AddStatusTrigger(ser::stOutSent, 0);
  PumpFor(std::chrono::milliseconds(120));
  EXPECT_EQ(window_.Count(ser::kMsgStatus), 0u);
  ASSERT_EQ(D().WriteBlock("AT\r\n", 4), ser::ecOK);
  ASSERT_TRUE(PumpUntil([&] { return window_.Count(ser::kMsgStatus) == 1; }));
  EXPECT_EQ(window_.received.back().wParam, static_cast<WPARAM>(handle));
}

TEST_F(DispatcherTest, DataMatchFollowsTheAvailOfTheBytesBeforeIt) {
  ASSERT_EQ(Open(), 0);
  int handle = D().AddDataTrigger("ok\r", true);
  ASSERT_GT(handle, 0);
  window_.handler = [&](const Notification& n) {
    if (n.message != ser::kMsgAvail) return;
    BYTE c;
    for (WPARAM i = 0; i < n.wParam; ++i) D().ReadChar(c);
  };
  pty_.Write("xyOK\r\n");
  ASSERT_TRUE(PumpUntil([&] { return window_.Count(ser::kMsgDataMatch) == 1; }));
  ASSERT_GE(window_.received.size(), 2u);
  EXPECT_EQ(window_.received[0].message, ser::kMsgAvail);
  EXPECT_EQ(window_.received[0].wParam, 2u);  // "xy", the bytes before the match
  EXPECT_EQ(window_.received[1].message, ser::kMsgDataMatch);
  EXPECT_EQ(window_.received[1].wParam, static_cast<WPARAM>(handle));
  EXPECT_EQ(window_.received[1].lParam & 0xFFFF, 3);
}

TEST_F(DispatcherTest, TimerTriggerFiresOnceThroughTheIdlePass) {
  ASSERT_EQ(Open(), 0);
  int handle = D().AddTimerTrigger(1);
  ASSERT_TRUE(PumpUntil([&] { return window_.Count(ser::kMsgTimer) == 1; }));
  EXPECT_EQ(window_.received.back().wParam, static_cast<WPARAM>(handle));
  PumpFor(std::chrono::milliseconds(200));
  EXPECT_EQ(window_.Count(ser::kMsgTimer), 1u);
}

TEST_F(DispatcherTest, TriggersSurviveACloseAndOpenThroughASaveRecord) {
  pty_.HoldSlaveOpen();
  ASSERT_EQ(Open(), 0);
  D().SetAvailThreshold(5);
  int timer = D().AddTimerTrigger(100000);
  int data = D().AddDataTrigger("OK", false);
  int status = D().AddStatusTrigger(ser::stLineError, ser::leParity);
  ser::TTriggerSave save;
  D().SaveTriggers(save);
  D().CloseLine();
  ASSERT_EQ(D().OpenLine("\\\\.\\COM1", 19200, 0, 8, 1, 4096, 2048, 3), 0);
  {
    ser::SectionHold hold(D().DispatcherLock);
    EXPECT_TRUE(D().TimerTriggerList.empty());
    EXPECT_EQ(D().AvailThreshold, 0u);
  }
  D().RestoreTriggers(save);
  {
    ser::SectionHold hold(D().DispatcherLock);
    EXPECT_EQ(D().AvailThreshold, 5u);
    ASSERT_EQ(D().TimerTriggerList.size(), 1u);
    EXPECT_EQ(D().TimerTriggerList[0].Handle, static_cast<DWORD>(timer));
    ASSERT_EQ(D().MatchTriggerList.size(), 1u);
    EXPECT_EQ(D().MatchTriggerList[0].Handle, static_cast<DWORD>(data));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(D().MatchTriggerList[0].Pattern), 2), "OK");
    ASSERT_EQ(D().StatusTriggerList.size(), 1u);
    EXPECT_EQ(D().StatusTriggerList[0].Handle, static_cast<DWORD>(status));
  }
  // A trigger added after the restore takes a handle of its own.
  int added = D().AddTimerTrigger(5);
  EXPECT_NE(added, timer);
  EXPECT_NE(added, data);
  EXPECT_NE(added, status >> 3);
}

TEST(DataMatcher, OverlappingStartsAreNotLost) {
  ser::TDataTrigger t;
  t.PatternLength = 3;
  std::memcpy(t.Pattern, "AAB", 3);
  for (char c : std::string("AAA")) {
    ser::MatchDataByte(t, static_cast<BYTE>(c));
    EXPECT_EQ(t.Matched, 0u);
  }
  ser::MatchDataByte(t, 'B');
  EXPECT_EQ(t.Matched, 1u);
  for (DWORD count : t.PartialMatch) EXPECT_EQ(count, 0u);
}

TEST(DataMatcher, ABrokenMatchRestartsOnTheFirstByte) {
  ser::TDataTrigger t;
  t.PatternLength = 2;
  std::memcpy(t.Pattern, "OK", 2);
  for (char c : std::string("OXOOK")) ser::MatchDataByte(t, static_cast<BYTE>(c));
  EXPECT_EQ(t.Matched, 1u);
  ser::TDataTrigger single;
  single.PatternLength = 1;
  single.Pattern[0] = '>';
  ser::MatchDataByte(single, '>');
  EXPECT_EQ(single.Matched, 1u);
}

TEST(TickTimer, ExpiresAfterItsTicksAndAcrossTheWrap) {
  ser::TTickTimer t = ser::StartTickTimer(1000, 10);
  EXPECT_FALSE(ser::TickTimerExpired(t, 1005));
  EXPECT_FALSE(ser::TickTimerExpired(t, 1010));
  EXPECT_TRUE(ser::TickTimerExpired(t, 1011));
  // Started shortly before the tick count wraps to 0: 0x20 ticks still count
  // from the start, before and after the wrap.
  const DWORD last = ser::kTickRange - 1;
  ser::TTickTimer w = ser::StartTickTimer(last - 0x10, 0x20);
  EXPECT_FALSE(ser::TickTimerExpired(w, last));
  EXPECT_FALSE(ser::TickTimerExpired(w, 0x5));
  EXPECT_FALSE(ser::TickTimerExpired(w, 0xF));
  EXPECT_TRUE(ser::TickTimerExpired(w, 0x10));
  // The longest timer started late in the range expires only after its ticks.
  ser::TTickTimer l = ser::StartTickTimer(last - 5, 0xFFFFFFFFu);
  EXPECT_FALSE(ser::TickTimerExpired(l, ser::kMaxTimerTicks - 10));
  EXPECT_TRUE(ser::TickTimerExpired(l, ser::kMaxTimerTicks));
  // Long timers are cut to the longest allowed.
  EXPECT_EQ(ser::StartTickTimer(0, 0xFFFFFFFFu).ExpiryTick, ser::kMaxTimerTicks);
  EXPECT_EQ(ser::kTickRange, 78090315u);
}

}  // namespace
}  // namespace morvel::test
