// Avail notifications through the real threads, delivered to a hidden window.
#include <algorithm>
#include <thread>

#include "serial/dispatcher_fixture.h"
#include "serial/result_codes.h"

namespace morvel::test {
namespace {

using ser::kMsgAvail;

TEST_F(DispatcherTest, OneBurstGivesOneAvailOfFourAndEmptiesTheRing) {
  ASSERT_EQ(Open(), 0);
  std::string got;
  window_.handler = [&](const Notification& n) { got += ReadChars(D(), n.wParam); };
  pty_.Write("OK\r\n");
  ASSERT_TRUE(PumpUntil([&] { return got.size() == 4; }));
  EXPECT_EQ(got, "OK\r\n");
  ASSERT_EQ(window_.Count(kMsgAvail), 1u);
  EXPECT_EQ(window_.received[0].wParam, 4u);
  EXPECT_EQ(window_.received[0].lParam, static_cast<LPARAM>(D().Handle) * 65536);
  EXPECT_EQ(D().InputCount(), 0u);
}

TEST_F(DispatcherTest, PartlyReadBytesAreAnnouncedAgainOnlyWithNewOnes) {
  ASSERT_EQ(Open(), 0);
  std::string got;
  int calls = 0;
  window_.handler = [&](const Notification&) {
    ++calls;
    got += ReadChars(D(), 2);  // always leaves the rest
  };
  pty_.Write("ABCD");
  ASSERT_TRUE(PumpUntil([&] { return calls == 1; }));
  // No new bytes: the two unread ones are not announced again.
  PumpFor(std::chrono::milliseconds(300));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(D().InputCount(), 2u);
  pty_.Write("E");
  ASSERT_TRUE(PumpUntil([&] { return calls == 2; }));
  EXPECT_EQ(window_.received[1].wParam, 3u);  // C, D and E
  EXPECT_EQ(got, "ABCD");
}

TEST_F(DispatcherTest, ReadCharPastTheAnnouncedBytesFailsAndCountsStay) {
  ASSERT_EQ(Open(), 0);
  int fifth = 0;
  DWORD readInside = 0, countAfterThree = 99;
  window_.handler = [&](const Notification& n) {
    ASSERT_EQ(n.wParam, 4u);
    BYTE c;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(D().ReadChar(c), ser::ecOK);
    countAfterThree = D().InputCount();
    ASSERT_EQ(D().ReadChar(c), ser::ecOK);
    fifth = D().ReadChar(c);
    readInside = static_cast<DWORD>(D().Offer.load() & 0x3FFF);  // the offer's count
  };
  pty_.Write("1234");
  ASSERT_TRUE(PumpUntil([&] { return fifth != 0; }));
  EXPECT_EQ(countAfterThree, 1u);
  EXPECT_EQ(fifth, ser::ecBufferIsEmpty);
  EXPECT_EQ(readInside, 4u);
  BYTE c;
  EXPECT_EQ(D().ReadChar(c), ser::ecBufferIsEmpty);
}

// The handler's reads are counted without the lock: two threads reading
// inside the same notifications must share the bytes, each taken once.
TEST_F(DispatcherTest, TwoThreadsReadingInsideOneAvailTakeEachByteOnce) {
  ASSERT_EQ(Open(), 0);
  std::string sent;
  for (int round = 0; round < 40; ++round) {
    for (char c = '!'; c <= '~'; ++c) sent += c;
  }
  std::string mine, theirs;
  window_.handler = [&](const Notification&) {
    auto drain = [&](std::string& into) {
      BYTE c;
      while (D().ReadChar(c) == ser::ecOK) into += static_cast<char>(c);
    };
    std::thread other([&] { drain(theirs); });
    drain(mine);
    other.join();
  };
  pty_.Write(sent);
  ASSERT_TRUE(PumpUntil([&] { return mine.size() + theirs.size() >= sent.size(); }));
  ASSERT_TRUE(PumpUntil([&] { return D().InputCount() == 0; }));
  std::string all = mine + theirs;
  std::sort(all.begin(), all.end());
  std::sort(sent.begin(), sent.end());
  EXPECT_EQ(all, sent);
  BYTE c;
  EXPECT_EQ(D().ReadChar(c), ser::ecBufferIsEmpty);
}

TEST_F(DispatcherTest, AFullRingStopsReadingUntilBytesAreTaken) {
  ASSERT_EQ(Open(), 0);
  int calls = 0;
  window_.handler = [&](const Notification&) { ++calls; };  // reads nothing
  std::string block(9000, 'x');
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>('a' + i % 26);
  pty_.Write(block);
  ASSERT_TRUE(PumpUntil([&] {
    ser::SectionHold hold(D().InputLock);
    return D().InFull;
  }));
  EXPECT_EQ(D().InputCount(), ser::kInRingSize);
  // Passes go on, but the ring takes nothing more: the rest waits in the driver.
  PumpFor(std::chrono::milliseconds(200));
  EXPECT_EQ(D().InputCount(), ser::kInRingSize);
  // Taking the bytes outside a notification frees the ring; the rest follows.
  window_.handler = nullptr;
  std::string got = ReadChars(D(), ser::kInRingSize);
  EXPECT_EQ(got, block.substr(0, ser::kInRingSize));
  ASSERT_TRUE(PumpUntil([&] { return D().InputCount() == 9000 - ser::kInRingSize; }));
  EXPECT_EQ(ReadChars(D(), 1000), block.substr(ser::kInRingSize));
}

TEST_F(DispatcherTest, AThresholdOfAWholeRingIsAnnouncedWhenTheRingFills) {
  ASSERT_EQ(Open(), 0);
  D().SetAvailThreshold(ser::kInRingSize);
  std::string got;
  window_.handler = [&](const Notification& n) { got += ReadChars(D(), n.wParam); };
  std::string block(ser::kInRingSize, 'x');
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>('a' + i % 26);
  pty_.Write(block);
  // The head comes back to where it started: the bytes are new all the same.
  ASSERT_TRUE(PumpUntil([&] { return window_.Count(kMsgAvail) == 1; }));
  EXPECT_EQ(window_.received[0].wParam, ser::kInRingSize);
  EXPECT_EQ(got, block);
  ASSERT_TRUE(PumpUntil([&] { return !D().Delivering; }));
  EXPECT_EQ(D().InputCount(), 0u);
  PumpFor(std::chrono::milliseconds(150));
  EXPECT_EQ(window_.Count(kMsgAvail), 1u);
}

TEST_F(DispatcherTest, TheLargestCountAnyTargetReadIsConsumed) {
  ASSERT_EQ(Open(), 0);
  static ser::TSerBaseDispatcher* target;
  target = &D();
  ser::TSerNotifyProc readsOne = [](UINT, WPARAM, LPARAM) {
    BYTE c;
    target->ReadChar(c);  // the procedure reads one byte, the window three
  };
  D().AddProcTarget(readsOne);
  std::string got;
  window_.handler = [&](const Notification&) { got += ReadChars(D(), 3); };
  pty_.Write("WXYZ");
  ASSERT_TRUE(PumpUntil([&] { return got.size() == 3; }));
  EXPECT_EQ(got, "WXY");  // the window saw the same bytes the procedure did
  ASSERT_TRUE(PumpUntil([&] { return !D().Delivering; }));
  EXPECT_EQ(D().InputCount(), 1u);
  EXPECT_EQ(ReadChars(D(), 1), "Z");
  D().RemoveProcTarget(readsOne);
  EXPECT_TRUE(D().ProcTargets.empty());
}

TEST_F(DispatcherTest, PeerHangingUpMidStreamKeepsWhatArrived) {
  ASSERT_EQ(Open(), 0);
  std::string got;
  window_.handler = [&](const Notification& n) { got += ReadChars(D(), n.wParam); };
  pty_.Write("+CREG: 0,1\r\n");
  ASSERT_TRUE(PumpUntil([&] { return got.size() == 12; }));
  pty_.Write("+CS");
  ASSERT_TRUE(PumpUntil([&] { return got.size() == 15; }));
  pty_.CloseMaster();  // the kernel drops what the peer had not yet sent
  PumpFor(std::chrono::milliseconds(200));
  EXPECT_EQ(got, "+CREG: 0,1\r\n+CS");
  EXPECT_EQ(window_.Count(ser::kMsgAvail), 2u);
  EXPECT_TRUE(D().ThreadsRunning);
  // Writing to the hung-up line drops the bytes; closing ends every thread.
  EXPECT_EQ(D().WriteBlock("AT\r\n", 4), ser::ecOK);
  ASSERT_TRUE(PumpUntil([&] { return D().OutputUsed() == 0; }));
  D().CloseLine();
  EXPECT_FALSE(D().ThreadsRunning);
}

}  // namespace
}  // namespace morvel::test
