// Breaking a thread out of a blocking system call: a read() on an empty pipe
// stands in for a wait no descriptor can end.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/interruptible_call.h"

namespace {

using namespace std::chrono_literals;

struct Pipe {
  Pipe() { EXPECT_EQ(pipe(fds), 0); }
  ~Pipe() {
    close(fds[0]);
    close(fds[1]);
  }
  int fds[2] = {-1, -1};
};

// Releases a read that Stop failed to end, so that a fault fails the test
// instead of hanging it.
class Watchdog {
 public:
  explicit Watchdog(int writeFd)
      : thread_([this, writeFd] {
          std::unique_lock lock(mutex_);
          if (!done_.wait_for(lock, 10s, [&] { return finished_; })) {
            fired_ = true;
            char byte = 'x';
            [[maybe_unused]] ssize_t n = write(writeFd, &byte, 1);
          }
        }) {}
  ~Watchdog() { Finish(); }
  // True when the watchdog had to release the read.
  bool Finish() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    done_.notify_all();
    if (thread_.joinable()) thread_.join();
    return fired_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  bool fired_ = false;
  std::thread thread_;
};

struct ReadOutcome {
  bool entered = false;
  ssize_t result = 0;
  int err = 0;
  bool released = false;  // the watchdog had to end the read
};

// Whether a thread sleeps in the kernel (a blocking call or a lock).
bool Sleeping(pid_t tid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/task/%d/stat", static_cast<int>(tid));
  std::ifstream stat(path);
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  size_t paren = text.rfind(')');
  return paren != std::string::npos && paren + 2 < text.size() && text[paren + 2] == 'S';
}

enum class StopWhen { kBlocked, kAtOnce };

// Starts a reader that enters `call` and blocks in read() on an empty pipe,
// stops the call (once the reader sleeps, or right after it entered) and
// reports how the read ended.
ReadOutcome ReadAndStop(InterruptibleCall& call, StopWhen when) {
  Pipe pipe;
  std::mutex mutex;
  std::condition_variable entered;
  bool ready = false;
  pid_t tid = 0;
  ReadOutcome outcome;
  std::thread reader([&] {
    InterruptibleCall::AcceptInterrupts();
    outcome.entered = call.Enter();
    {
      std::lock_guard lock(mutex);
      ready = true;
      tid = gettid();
    }
    entered.notify_all();
    if (!outcome.entered) return;
    char byte = 0;
    outcome.result = read(pipe.fds[0], &byte, 1);
    outcome.err = errno;
    call.Leave();
  });
  {
    std::unique_lock lock(mutex);
    EXPECT_TRUE(entered.wait_for(lock, 5s, [&] { return ready; }));
  }
  if (when == StopWhen::kBlocked) {
    for (int i = 0; i < 5000 && !Sleeping(tid); ++i) std::this_thread::sleep_for(1ms);
  }
  Watchdog watchdog(pipe.fds[1]);
  call.Stop();
  reader.join();
  outcome.released = watchdog.Finish();
  return outcome;
}

TEST(InterruptibleCall, StopBringsABlockedReadOut) {
  InterruptibleCall call;
  ReadOutcome outcome = ReadAndStop(call, StopWhen::kBlocked);
  EXPECT_FALSE(outcome.released) << "Stop did not end the read; the watchdog did";
  EXPECT_TRUE(outcome.entered);
  EXPECT_EQ(outcome.result, -1);
  EXPECT_EQ(outcome.err, EINTR) << "the kernel restarted the read instead of failing it";
  EXPECT_FALSE(call.Enter()) << "a stopped call must not block again";
}

TEST(InterruptibleCall, StopWithNobodyInsideReturnsAndBarsLaterCalls) {
  InterruptibleCall call;
  call.Stop();
  ReadOutcome outcome = ReadAndStop(call, StopWhen::kAtOnce);
  EXPECT_FALSE(outcome.entered);
  EXPECT_FALSE(outcome.released);
}

// The signal can land after Enter but before the read begins, where it does
// nothing; Stop must keep at it until the thread is out.
TEST(InterruptibleCall, StopRightAfterEnterStillEndsTheRead) {
  for (int round = 0; round < 200; ++round) {
    InterruptibleCall call;
    ReadOutcome outcome = ReadAndStop(call, StopWhen::kAtOnce);
    ASSERT_FALSE(outcome.released) << "round " << round;
    ASSERT_TRUE(outcome.entered) << "round " << round;
    ASSERT_EQ(outcome.result, -1) << "round " << round;
  }
}

// A thread inherits blocked signals from the one that started it; the
// watcher unblocks the interrupting one for itself.
TEST(InterruptibleCall, WorksOnAThreadStartedWithAllSignalsBlocked) {
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &all, &previous), 0);
  InterruptibleCall call;
  ReadOutcome outcome = ReadAndStop(call, StopWhen::kBlocked);
  ASSERT_EQ(pthread_sigmask(SIG_SETMASK, &previous, nullptr), 0);
  EXPECT_FALSE(outcome.released);
  EXPECT_EQ(outcome.result, -1);
  EXPECT_EQ(outcome.err, EINTR);
}

}  // namespace
