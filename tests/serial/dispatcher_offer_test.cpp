// The bytes a notification offers, read from more than one place: by a
// thread beside the handler, after a discard inside the handler, and by a
// reader that outlasts the line.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <semaphore>
#include <string>
#include <thread>

#include "serial/dispatcher_fixture.h"
#include "serial/result_codes.h"

namespace morvel::test {
namespace {

// Each reader took its bytes in the order sent (every test sends rising values).
bool InOrder(const std::string& taken) {
  return std::adjacent_find(taken.begin(), taken.end(), [](char a, char b) {
           return static_cast<BYTE>(a) >= static_cast<BYTE>(b);
         }) == taken.end();
}

// Set as a dispatcher hook: holds the next delivery or lock-free read there
// until the test lets it go. It is let go through a relaxed flag: a
// semaphore would order it after all the test did meanwhile, and
// ThreadSanitizer would not see a ring write that races with a held read.
std::atomic<bool> gHoldNext{false}, gGo{false};
std::binary_semaphore gHeld{0};
void HoldOnce() {
  if (!gHoldNext.exchange(false)) return;
  gHeld.release();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!gGo.exchange(false, std::memory_order_relaxed) &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}
void LetGo() {
  gGo.store(true, std::memory_order_relaxed);
}

// Bytes another reader takes once a notification's offer is open but before
// its target runs are the target's: the handler goes on after them.
TEST_F(DispatcherTest, BytesReadBeforeTheHandlerRunsAreNotOfferedToItAgain) {
  ASSERT_EQ(Open(), 0);
  D().OfferOpened = HoldOnce;
  std::string inside;
  window_.handler = [&](const Notification&) { inside += ReadChars(D()); };
  struct Case {
    size_t outside;  // bytes the other reader takes
    bool traced;     // every read under the lock
  };
  for (const Case& c : {Case{3, false}, Case{10, false}, Case{3, true}}) {
    if (c.traced) D().OpenTrace(100);
    inside.clear();
    std::string outside;
    gHoldNext = true;
    std::thread reader([&] {
      gHeld.acquire();
      outside = ReadChars(D(), c.outside);
      LetGo();
    });
    pty_.Write("0123456789");
    reader.join();
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
    window_.handler = [&](const Notification&) {
      if (!before.empty()) {
        after += ReadChars(D());
        return;
      }
      before = ReadChars(D(), 2);
      D().DiscardInput();
      after = ReadChars(D());
      count = D().InputCount();
      BYTE c;
      peek = D().PeekAt(c, 1);
    };
    pty_.Write("ABCDEF");
    ASSERT_TRUE(PumpUntil([&] { return !before.empty() && !D().Delivering; }));
    EXPECT_EQ(before + "|" + after, "AB|") << traced;
    EXPECT_EQ(count, 0u) << traced;
    EXPECT_EQ(peek, ser::ecBufferIsEmpty) << traced;
    pty_.Write("next");  // what comes after the discard is read whole
    ASSERT_TRUE(PumpUntil([&] { return after.size() >= 4 && !D().Delivering; }));
    EXPECT_EQ(after, "next") << traced;
  }
}

// A reader on another thread, held once it has found its byte in the offer
// while the line closes, opens, is offered a byte in that place and closes,
// reads no memory that is gone and takes nothing.
TEST_F(DispatcherTest, AReaderHeldAcrossTwoClosesTakesNothing) {
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
    gHeld.acquire();
  };
  pty_.Write("x");
  ASSERT_TRUE(PumpUntil([&] { return reader.joinable() && !D().Delivering; }));
  ASSERT_EQ(Reopen(), 0);
  // The reopened line puts its byte where the reader looks and leaves it
  // unread, so that the reader's look is the only one to meet that write.
  DWORD offered = 0;
  window_.handler = [&](const Notification&) { offered = D().InputCount(); };
  pty_.Write("y");
  ASSERT_TRUE(PumpUntil([&] { return offered == 1 && !D().Delivering; }));
  D().CloseLine();
  LetGo();
  reader.join();
  EXPECT_EQ(heldResult, ser::ecBufferIsEmpty);
}

// A thread reading all the time beside the handler, across deliveries,
// discards inside the handler and reopens of the line: no byte is taken
// twice, each reader takes its bytes in order, and only a discard loses any.
TEST_F(DispatcherTest, TwoReadersAcrossDiscardsAndReopensTakeEachByteOnceInOrder) {
  constexpr BYTE kChunk = 80;  // three chunks an epoch; the middle one may be discarded
  pty_.HoldSlaveOpen();
  ASSERT_EQ(Open(), 0);
  std::mutex lock;  // over each of the thread's reads, so a look sees whole takes
  std::string mine, theirs;
  std::atomic<bool> stop{false};
  std::thread other([&] {
    BYTE c;
    while (!stop) {
      std::unique_lock hold(lock);
      if (D().ReadChar(c) == ser::ecOK) {
        theirs += static_cast<char>(c);
        continue;
      }
      hold.unlock();
      std::this_thread::yield();
    }
  });
  bool discard = false;
  window_.handler = [&](const Notification&) {
    BYTE c;
    while (D().ReadChar(c) == ser::ecOK) {
      mine += static_cast<char>(c);
      if (discard && c / kChunk == 1) {
        discard = false;
        D().DiscardInput();
      }
    }
  };
  auto sendAndAwait = [&](int chunk, bool whole) {
    std::string bytes;
    for (int i = 0; i < kChunk; ++i) bytes += static_cast<char>(chunk * kChunk + i);
    pty_.Write(bytes);
    auto of = [&](char c) { return static_cast<BYTE>(c) / kChunk == chunk; };
    return PumpUntil([&] {
      std::lock_guard hold(lock);
      return (!whole && !discard) || std::count_if(mine.begin(), mine.end(), of) +
                                             std::count_if(theirs.begin(), theirs.end(), of) >=
                                         kChunk;
    });
  };
  for (int epoch = 0; epoch < 40; ++epoch) {
    discard = epoch % 2 == 1;
    ASSERT_TRUE(sendAndAwait(0, true) && sendAndAwait(1, !discard)) << epoch;
    discard = false;
    ASSERT_TRUE(sendAndAwait(2, true)) << epoch;
    {
      std::lock_guard hold(lock);
      std::string all = mine + theirs;
      std::sort(all.begin(), all.end());
      EXPECT_TRUE(std::adjacent_find(all.begin(), all.end()) == all.end()) << "twice in " << epoch;
      EXPECT_TRUE(InOrder(mine) && InOrder(theirs)) << epoch;
      EXPECT_TRUE(epoch % 2 == 1 || all.size() == 3u * kChunk) << epoch;
      mine.clear();
      theirs.clear();
    }
    ASSERT_EQ(Reopen(), 0) << epoch;
  }
  stop = true;
  other.join();
}

}  // namespace
}  // namespace morvel::test
