// The output ring and the output thread over a real pty.
#include <cstring>

#include "platform/errors.h"
#include "serial/dispatcher_fixture.h"
#include "serial/result_codes.h"

namespace morvel::test {
namespace {

TEST_F(DispatcherTest, WriteBlockTakesExactlyTheFreeSpaceAndNotOneByteMore) {
  ASSERT_EQ(Open(64), 0);
  EXPECT_EQ(D().WriteBlock("", 0), ser::ecOK);
  std::string first(10, 'a'), rest(54, 'b');
  {
    // Holding the ring's lock keeps the output thread from draining meanwhile.
    ser::SectionHold hold(D().OutputLock);
    ASSERT_EQ(D().WriteBlock(first.data(), 10), ser::ecOK);
    EXPECT_EQ(D().WriteBlock(std::string(55, 'c').data(), 55), ser::ecOutputBufferTooSmall);
    EXPECT_EQ(D().OutputUsed(), 10u);
    EXPECT_FALSE(D().OutFull);
    ASSERT_EQ(D().WriteBlock(rest.data(), 54), ser::ecOK);
    EXPECT_TRUE(D().OutFull);
    EXPECT_EQ(D().OutputFree(), 0u);
    EXPECT_EQ(D().WriteBlock("d", 1), ser::ecOutputBufferTooSmall);
  }
  EXPECT_EQ(pty_.ReadExactly(64), first + rest);
  EXPECT_EQ(pty_.ReadAvailable(), "");  // the refused blocks were not queued
}

TEST_F(DispatcherTest, WrappedOutputIsRearrangedAndWrittenWhole) {
  ASSERT_EQ(Open(64), 0);
  const std::string data = "0123456789abcdefghijklmnopqrstuv";  // 32 bytes
  {
    ser::SectionHold hold(D().OutputLock);
    D().OutHead = D().OutTail = 50;  // an empty ring whose next byte goes near the end
    ASSERT_EQ(D().WriteBlock(data.data(), 32), ser::ecOK);
    EXPECT_EQ(D().OutHead, 18u);  // 14 bytes at the end, 18 at the start
  }
  EXPECT_EQ(pty_.ReadExactly(32), data);
  ASSERT_TRUE(PumpUntil([&] { return D().OutputUsed() == 0; }));
  ser::SectionHold hold(D().OutputLock);
  // The chunk that went out was contiguous from the ring's start.
  EXPECT_EQ(std::memcmp(D().OutBuf.data(), data.data(), 32), 0);
}

TEST_F(DispatcherTest, ClosingWhileAPeerStopsReadingEndsEverything) {
  ASSERT_EQ(Open(), 0);
  std::string block(1024, 'q');
  int refused = 0;
  // The peer reads nothing: the pty fills, the write pends, the ring fills.
  for (int i = 0; i < 400 && refused == 0; ++i) {
    int result = D().WriteBlock(block.data(), static_cast<DWORD>(block.size()));
    if (result == ser::ecOutputBufferTooSmall) {
      ++refused;
    } else {
      ASSERT_EQ(result, ser::ecOK);
      PumpFor(std::chrono::milliseconds(2));
    }
  }
  ASSERT_EQ(refused, 1);
  EXPECT_GT(D().OutputUsed(), 0u);
  D().CloseLine();
  EXPECT_FALSE(D().ThreadsRunning);
  EXPECT_EQ(D().DeviceHandle.load(), INVALID_HANDLE_VALUE);
}

// The output thread's write record lives in its frame: a write still pending
// when a stop ends the thread is aborted first, not left to complete into a
// frame that is gone.
TEST_F(DispatcherTest, OutputThreadAbortsItsPendingWriteBeforeItLeaves) {
  constexpr WORD kBig = 60000;  // more than the pty takes while the peer reads nothing
  ASSERT_EQ(Open(kBig), 0);
  std::string block(kBig, 'p');
  ASSERT_EQ(D().WriteBlock(block.data(), kBig), ser::ecOK);
  HANDLE device = D().DeviceHandle.load();
  ASSERT_TRUE(PumpUntil([&] {
    COMSTAT status{};
    return ClearCommError(device, nullptr, &status) && status.cbOutQue > 0;
  }));

  D().StopThreads();
  ASSERT_FALSE(D().ThreadsRunning);
  // Nothing of the thread's is pending: the device takes a write of ours (at
  // once or pending) instead of refusing a second write.
  OVERLAPPED probe{};
  probe.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD written = 0;
  BOOL taken = WriteFile(device, "x", 1, &written, &probe);
  EXPECT_TRUE(taken || GetLastError() == ERROR_IO_PENDING) << GetLastError();
  PurgeComm(device, PURGE_TXABORT);
  CloseHandle(probe.hEvent);
}

TEST_F(DispatcherTest, QueuedLineErrorsSurviveAWrite) {
  ASSERT_EQ(Open(), 0);
  D().LineErrors |= ser::leParity | ser::leFrame;
  ASSERT_EQ(D().WriteBlock("AT\r\n", 4), ser::ecOK);
  EXPECT_EQ(D().LineErrorState(), 3);
  EXPECT_EQ(D().LineErrors & (ser::leParity | ser::leFrame), 0u);
  EXPECT_EQ(D().LineErrorState(), 0);
}

TEST_F(DispatcherTest, WritingToAClosedLineIsRefused) {
  ser::TSerWin32Dispatcher never(nullptr);
  EXPECT_EQ(never.WriteBlock("AT", 2), ser::ecCommNotOpen);
}

}  // namespace
}  // namespace morvel::test
