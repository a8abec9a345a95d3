// A dispatcher on a real pseudo-terminal, with a hidden window of the test's
// thread as its notification target and a bounded message loop to serve it.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/sync.h"
#include "platform/threads.h"
#include "serial/dispatcher.h"
#include "serial/result_codes.h"
#include "serial/section_hold.h"
#include "serial/win32_dispatcher.h"
#include "support/port_folder.h"
#include "support/pty_pair.h"

namespace morvel::test {

// Number of threads of this process.
inline int ThreadCount() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
  }
  return count;
}

struct Notification {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// The hidden window: every notification is recorded, then passed to the
// test's handler (which may read, count or close).
class NotifyWindow {
 public:
  NotifyWindow() {
    static const bool registered = [] {
      WNDCLASSA windowClass{};
      windowClass.lpfnWndProc = &NotifyWindow::Procedure;
      windowClass.hInstance = GetModuleHandleA(nullptr);
      windowClass.lpszClassName = "dispatcherTestWindow";
      return RegisterClassA(&windowClass) != 0;
    }();
    EXPECT_TRUE(registered);
    window_ = CreateWindowExA(0, "dispatcherTestWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(window_, nullptr);
    Windows().push_back(this);
  }
  ~NotifyWindow() {
    std::erase(Windows(), this);
    DestroyWindow(window_);
  }
  NotifyWindow(const NotifyWindow&) = delete;
  NotifyWindow& operator=(const NotifyWindow&) = delete;

  HWND Handle() const { return window_; }

  std::function<void(const Notification&)> handler;
  std::vector<Notification> received;

  size_t Count(UINT message) const {
    size_t n = 0;
    for (const auto& r : received) n += r.message == message ? 1 : 0;
    return n;
  }

 private:
  static std::vector<NotifyWindow*>& Windows() {
    static std::vector<NotifyWindow*> windows;
    return windows;
  }
  static LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message < ser::kMsgAvail || message > ser::kMsgDeviceGone) {
      return DefWindowProcA(window, message, wParam, lParam);
    }
    for (NotifyWindow* w : Windows()) {
      if (w->window_ != window) continue;
      Notification n{message, wParam, lParam};
      w->received.push_back(n);
      if (w->handler) w->handler(n);
    }
    return 0;
  }

  HWND window_ = nullptr;
};

// Takes up to `count` bytes with ReadChar; fewer when the ring runs out.
inline std::string ReadChars(ser::TSerBaseDispatcher& d, size_t count = SIZE_MAX) {
  std::string s;
  BYTE c = 0;
  while (s.size() < count && d.ReadChar(c) == ser::ecOK) s.push_back(static_cast<char>(c));
  return s;
}

// Serves this thread's messages until `done` holds or the limit passes.
inline bool PumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  return true;
}

// Serves messages for a while, for checks that something does NOT happen.
inline void PumpFor(std::chrono::milliseconds span) {
  PumpUntil([] { return false; }, span);
}

class DispatcherTest : public ::testing::Test {
 protected:
  static constexpr WORD kOutSize = 2048;

  void SetUp() override {
    // A sanitizer starts a helper thread with the first thread it sees. A
    // thread just joined may still be listed as its exit completes: count
    // only once it has gone, or the count could never be reached again.
    DWORD helper = 0;
    std::thread([&] { helper = GetCurrentThreadId(); }).join();
    const std::string entry = "/proc/self/task/" + std::to_string(helper);
    ASSERT_TRUE(PumpUntil([&] { return access(entry.c_str(), F_OK) != 0; }));
    threadsAtStart_ = ThreadCount();
    folder_.Link(1, pty_.SlavePath());
  }

  void TearDown() override {
    window_.handler = nullptr;  // a delivery served while the dispatcher goes
    dispatcher_.reset();
    EXPECT_TRUE(PumpUntil([&] { return ThreadCount() == threadsAtStart_; }))
        << "threads left: " << ThreadCount() - threadsAtStart_;
  }

  // Opens COM1 (the pty) with the window as the only target, threshold 1.
  int Open(WORD outSize = kOutSize, BYTE lineFlags = ser::lfDtrOn | ser::lfRtsOn) {
    dispatcher_ = std::make_unique<ser::TSerWin32Dispatcher>(nullptr);
    dispatcher_->DeviceName = "COM1";
    int result =
        dispatcher_->OpenLine("\\\\.\\COM1", 19200, NOPARITY, 8, 1, 4096, outSize, lineFlags);
    if (result != 0) return result;
    dispatcher_->AddWindowTarget(window_.Handle());
    dispatcher_->SetHandlerMode(1);
    dispatcher_->SetAvailThreshold(1);
    return result;
  }

  // Closes the line (a close from a handler finishes once it has returned)
  // and opens it again on the same dispatcher, threshold 1.
  int Reopen() {
    dispatcher_->CloseLine();
    if (!PumpUntil([&] { return !dispatcher_->ThreadsRunning; })) return ser::ecAlreadyOpen;
    int result = dispatcher_->OpenLine("\\\\.\\COM1", 19200, NOPARITY, 8, 1, 4096, kOutSize,
                                       ser::lfDtrOn | ser::lfRtsOn);
    dispatcher_->SetAvailThreshold(1);
    return result;
  }

  ser::TSerWin32Dispatcher& D() { return *dispatcher_; }

  PtyPair pty_;
  PortFolder folder_;
  NotifyWindow window_;
  std::unique_ptr<ser::TSerWin32Dispatcher> dispatcher_;
  int threadsAtStart_ = 0;
};

}  // namespace morvel::test
