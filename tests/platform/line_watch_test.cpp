// Modem-line and line-error events on a pseudo-terminal, which has neither
// modem lines nor driver counters: the full event mask must cost no thread
// and change nothing about arrivals and hang-ups.
#include <dirent.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/port_folder.h"
#include "support/pty_pair.h"

namespace {

using namespace std::chrono_literals;
using morvel::test::PortFolder;
using morvel::test::PtyPair;

constexpr unsigned kPort = 4;
// What the dispatcher's event thread asks for.
constexpr DWORD kFullMask = EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_BREAK | EV_ERR | EV_RING;

int ThreadCount() {
  int count = 0;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(tasks)) {
      if (entry->d_name[0] != '.') ++count;
    }
    closedir(tasks);
  }
  return count;
}

struct WaitResult {
  BOOL ok;
  DWORD mask;
};

class LineWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A sanitizer starts a helper thread with the first thread it sees.
    std::thread([] {}).join();
    ports_.Link(kPort, pty_.SlavePath());
    std::string name = "\\\\.\\COM" + std::to_string(kPort);
    device_ = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(device_, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(device_, &timeouts));
  }
  void TearDown() override {
    if (device_ != INVALID_HANDLE_VALUE) CloseHandle(device_);
  }
  // Waits on this thread. Bytes or a hang-up are made before, so the wait
  // returns at once; should it not, a guard changes the mask after a while,
  // which ends the wait with no event, so the test fails instead of hanging.
  WaitResult WaitNow() {
    std::promise<void> returned;
    std::thread release([this, done = returned.get_future()]() mutable {
      if (done.wait_for(5s) != std::future_status::ready) SetCommMask(device_, kFullMask);
    });
    WaitResult result{};
    result.ok = WaitCommEvent(device_, &result.mask, nullptr);
    returned.set_value();
    release.join();
    return result;
  }

  PtyPair pty_;
  PortFolder ports_;
  HANDLE device_ = INVALID_HANDLE_VALUE;
};

TEST_F(LineWatchTest, FullMaskStartsNoThreadAndArrivalsStillWake) {
  const int before = ThreadCount();
  ASSERT_TRUE(SetCommMask(device_, kFullMask));
  ASSERT_TRUE(SetCommMask(device_, EV_CTS | EV_RING));
  ASSERT_TRUE(SetCommMask(device_, kFullMask));
  EXPECT_EQ(ThreadCount(), before);

  for (const char* bytes : {"OK\r\n", "+CSQ: 20,0\r\n"}) {
    pty_.Write(bytes);
    WaitResult arrival = WaitNow();
    EXPECT_TRUE(arrival.ok);
    EXPECT_EQ(arrival.mask, EV_RXCHAR) << "a pseudo-terminal has no line events to report";
    char buffer[64];
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(device_, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), bytes);
  }
  EXPECT_EQ(ThreadCount(), before);

  DWORD errors = 0xFF;
  COMSTAT status{};
  EXPECT_TRUE(ClearCommError(device_, &errors, &status));
  EXPECT_EQ(errors, 0u);
  DWORD lines = 0xFF;
  EXPECT_TRUE(GetCommModemStatus(device_, &lines));
  EXPECT_EQ(lines, 0u);
}

TEST_F(LineWatchTest, HangUpUnderTheFullMaskIsOneErrorEvent) {
  const int before = ThreadCount();
  ASSERT_TRUE(SetCommMask(device_, kFullMask));
  pty_.CloseMaster();
  WaitResult hangUp = WaitNow();
  EXPECT_TRUE(hangUp.ok);
  EXPECT_EQ(hangUp.mask, EV_ERR);
  // After the hang-up, setting the mask again starts nothing either.
  ASSERT_TRUE(SetCommMask(device_, kFullMask));
  EXPECT_EQ(ThreadCount(), before);
  EXPECT_TRUE(CloseHandle(device_));
  device_ = INVALID_HANDLE_VALUE;
  EXPECT_EQ(ThreadCount(), before);
}

}  // namespace
