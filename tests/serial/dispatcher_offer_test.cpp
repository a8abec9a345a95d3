// The bytes a notification offers, read from more than one place: by a
// thread beside the handler, after a discard inside the handler, and by a
// reader that outlasts the line.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "serial/dispatcher_fixture.h"
#include "serial/result_codes.h"

namespace morvel::test {
namespace {

// Each reader's bytes came in the order sent (every test sends rising values).
bool InOrder(const std::string& taken) {
  return std::adjacent_find(taken.begin(), taken.end(), [](char a, char b) {
           return static_cast<BYTE>(a) >= static_cast<BYTE>(b);
         }) == taken.end();
}

HANDLE gOpened = nullptr, gTaken = nullptr;
std::atomic<bool> gHoldNext{false};

// Holds the next lock-free read, or the next delivery once its offer is open,
// until the test lets it go.
void HoldOnce() {
  if (!gHoldNext.exchange(false)) return;
  SetEvent(gOpened);
  WaitForSingleObject(gTaken, 20000);
}

class OfferTest : public DispatcherTest {
 protected:
  void SetUp() override {
    DispatcherTest::SetUp();
    gOpened = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    gTaken = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  }
  void TearDown() override {
    DispatcherTest::TearDown();
    CloseHandle(gOpened);
    CloseHandle(gTaken);
  }
};

// Bytes another reader takes once a notification's offer is open but before
// its target is called are the target's: the handler goes on after them.
TEST_F(OfferTest, BytesReadBeforeTheHandlerRunsAreNotOfferedToItAgain) {
  struct Case {
    size_t outside;
    bool traced;  // reads under the lock
  };
  ASSERT_EQ(Open(), 0);
  D().OfferOpened = HoldOnce;
  std::string inside;
  window_.handler = [&](const Notification&) { inside += ReadChars(D()); };
  for (const Case& c : {Case{3, false}, Case{10, false}, Case{3, true}}) {
    if (c.traced) D().OpenTrace(100);
    inside.clear();
    std::string outside;
    gHoldNext = true;
    std::thread reader([&] {
      WaitForSingleObject(gOpened, 10000);
      outside = ReadChars(D(), c.outside);
      SetEvent(gTaken);
    });
    pty_.Write("0123456789");
    reader.join();  // the offer opened and the reader took its bytes
    ASSERT_TRUE(PumpUntil([&] { return outside.size() + inside.size() >= 10 && !D().Delivering; }));
    EXPECT_EQ(outside + "|" + inside, std::string("0123456789").insert(c.outside, "|")) << c.traced;
  }
}

// Whichever way ReadChar takes the bytes (without the lock, or under it
// while the trace records), nothing discarded can be read after the discard.
TEST_F(DispatcherTest, ADiscardInsideAHandlerLeavesNothingToRead) {
  ASSERT_EQ(Open(), 0);
  for (bool traced : {false, true}) {
    if (traced) D().OpenTrace(100);
    std::string before, after = "unread";
    int peek = ser::ecOK;
    DWORD count = 99;
    bool discarded = false;
    window_.handler = [&](const Notification&) {
      if (discarded) {
        after += ReadChars(D());
        return;
      }
      before = ReadChars(D(), 2);
      D().DiscardInput();
      discarded = true;
      after = ReadChars(D());
      count = D().InputCount();
      BYTE c;
      peek = D().PeekAt(c, 1);
    };
    pty_.Write("ABCDEF");
    ASSERT_TRUE(PumpUntil([&] { return !before.empty() && !D().Delivering; }));
    EXPECT_EQ(before, "AB") << traced;
    EXPECT_EQ(after, "") << traced;
    EXPECT_EQ(count, 0u) << traced;
    EXPECT_EQ(peek, ser::ecBufferIsEmpty) << traced;
    pty_.Write("next");  // what comes after the discard is read whole
    ASSERT_TRUE(PumpUntil([&] { return after.size() >= 4 && !D().Delivering; }));
    EXPECT_EQ(after, "next") << traced;
  }
}

// A reader on another thread, held after it has found its byte in the offer,
// while the line closes, opens, reads again and closes: it reads no memory
// that is gone and takes nothing.
TEST_F(OfferTest, AReaderHeldAcrossTwoClosesTakesNothing) {
  pty_.HoldSlaveOpen();
  ASSERT_EQ(Open(), 0);
  D().OfferReadPause = HoldOnce;
  int heldResult = ser::ecOK;
  std::thread reader;
  window_.handler = [&](const Notification&) {
    gHoldNext = true;
    reader = std::thread([&] {
      BYTE c;
      heldResult = D().ReadChar(c);
    });
    WaitForSingleObject(gOpened, 10000);
  };
  pty_.Write("x");
  ASSERT_TRUE(PumpUntil([&] { return reader.joinable() && !D().Delivering; }));
  D().CloseLine();
  ASSERT_EQ(D().OpenLine("\\\\.\\COM1", 19200, NOPARITY, 8, 1, 4096, kOutSize, 3), 0);
  D().SetAvailThreshold(1);
  std::string again;
  window_.handler = [&](const Notification&) { again += ReadChars(D()); };
  pty_.Write("y");
  ASSERT_TRUE(PumpUntil([&] { return again == "y" && !D().Delivering; }));
  D().CloseLine();
  SetEvent(gTaken);
  reader.join();
  EXPECT_EQ(heldResult, ser::ecBufferIsEmpty);
}

// A thread reading all the time beside the handler, across deliveries,
// discards inside the handler and reopens of the line: no byte is taken
// twice, each reader takes its bytes in order, and only a discard loses any.
TEST_F(DispatcherTest, TwoReadersAcrossDiscardsAndReopensTakeEachByteOnceInOrder) {
  constexpr int kEpochs = 40;
  constexpr BYTE kChunk = 80;  // three chunks an epoch; the second may be discarded
  pty_.HoldSlaveOpen();
  ASSERT_EQ(Open(), 0);
  std::mutex lock;  // held over each of the thread's reads, so a look sees whole takes
  std::string mine, theirs;
  std::atomic<bool> stop{false};
  std::thread other([&] {
    BYTE c;
    while (!stop) {
      std::unique_lock hold(lock);
      if (D().ReadChar(c) == ser::ecOK) {
        theirs += static_cast<char>(c);
      } else {
        hold.unlock();
        std::this_thread::yield();
      }
    }
  });
  bool discard = false;
  window_.handler = [&](const Notification&) {
    BYTE c;
    while (D().ReadChar(c) == ser::ecOK) {
      mine += static_cast<char>(c);
      if (discard && c >= kChunk && c < 2 * kChunk) {
        discard = false;
        D().DiscardInput();
      }
    }
  };
  auto taken = [&](int chunk) {
    auto of = [&](char c) { return static_cast<BYTE>(c) / kChunk == chunk; };
    std::lock_guard hold(lock);
    return std::count_if(mine.begin(), mine.end(), of) +
           std::count_if(theirs.begin(), theirs.end(), of);
  };
  auto send = [&](int chunk) {
    std::string bytes;
    for (int i = 0; i < kChunk; ++i) bytes += static_cast<char>(chunk * kChunk + i);
    pty_.Write(bytes);
  };
  for (int epoch = 0; epoch < kEpochs; ++epoch) {
    discard = epoch % 2 == 1;
    send(0);
    ASSERT_TRUE(PumpUntil([&] { return taken(0) >= kChunk; })) << epoch;
    send(1);
    ASSERT_TRUE(PumpUntil([&] { return !discard || taken(1) >= kChunk; })) << epoch;
    discard = false;
    send(2);
    ASSERT_TRUE(PumpUntil([&] { return taken(2) >= kChunk; })) << epoch;
    {
      std::lock_guard hold(lock);
      std::string all = mine + theirs;
      std::sort(all.begin(), all.end());
      EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end()) << "twice in " << epoch;
      EXPECT_TRUE(InOrder(mine) && InOrder(theirs)) << epoch;
      if (epoch % 2 == 0) {
        EXPECT_EQ(all.size(), 3u * kChunk) << epoch;
      }
      mine.clear();
      theirs.clear();
    }
    D().CloseLine();  // a delivery under way makes it a deferred close
    ASSERT_TRUE(PumpUntil([&] { return !D().ThreadsRunning; })) << epoch;
    ASSERT_EQ(D().OpenLine("\\\\.\\COM1", 19200, NOPARITY, 8, 1, 4096, kOutSize, 3), 0);
    D().SetAvailThreshold(1);
  }
  stop = true;
  other.join();
}

}  // namespace
}  // namespace morvel::test
