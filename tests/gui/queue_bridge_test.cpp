// The user-interface thread's message queue served inside Qt's event loop:
// messages sent from a worker thread run on the Qt thread, also while a modal
// dialog runs its own loop.
#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <future>

#include <gtest/gtest.h>

#include "gui/queue_bridge.h"
#include "platform/platform.h"

namespace {

using namespace std::chrono_literals;

constexpr UINT kAvail = 0x7E01;
constexpr UINT kClose = 0x7E0A;
constexpr UINT kNested = 0x7E0B;

std::atomic<DWORD> procedureThread{0};
std::atomic<int> closeCount{0};

LRESULT BridgeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kAvail) {
    procedureThread = GetCurrentThreadId();
    return static_cast<LRESULT>(wParam + 1);
  }
  if (message == kClose) {
    ++closeCount;
    return 0;
  }
  if (message == kNested) {
    // A handler that opens a dialog runs a loop of its own inside the bridge.
    auto* loop = reinterpret_cast<QEventLoop*>(lParam);
    return loop->exec();
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class QueueBridgeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = BridgeProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "bridgeWindow";
    RegisterClassA(&windowClass);
  }
  void SetUp() override {
    procedureThread = 0;
    closeCount = 0;
    window_ = CreateWindowExA(0, "bridgeWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override { DestroyWindow(window_); }

  std::future<DWORD_PTR> SendFromWorker(WPARAM wParam) {
    return std::async(std::launch::async, [this, wParam] {
      DWORD_PTR result = 0;
      if (!SendMessageTimeoutA(window_, kAvail, wParam, 0, SMTO_BLOCK, 5000, &result)) return ~0ul;
      return result;
    });
  }

  QueueBridge bridge_;
  HWND window_ = nullptr;
};

TEST_F(QueueBridgeTest, SendFromAWorkerRunsInsideTheEventLoop) {
  auto sent = SendFromWorker(41);
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (sent.wait_for(0ms) == std::future_status::ready) loop.quit();
  });
  poll.start(5);
  QTimer::singleShot(5000, &loop, &QEventLoop::quit);
  loop.exec();
  ASSERT_EQ(sent.wait_for(0ms), std::future_status::ready);
  EXPECT_EQ(sent.get(), 42u);
  EXPECT_EQ(procedureThread, GetCurrentThreadId());
}

TEST_F(QueueBridgeTest, SendFromAWorkerRunsWhileAModalDialogIsOpen) {
  QDialog dialog;
  std::future<DWORD_PTR> sent;
  bool servedInsideDialog = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!sent.valid()) {
      sent = SendFromWorker(9);
    } else if (sent.wait_for(0ms) == std::future_status::ready) {
      servedInsideDialog = dialog.isVisible();
      dialog.accept();
    }
  });
  poll.start(5);
  QTimer::singleShot(5000, &dialog, &QDialog::reject);
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  ASSERT_TRUE(sent.valid());
  ASSERT_EQ(sent.wait_for(0ms), std::future_status::ready);
  EXPECT_EQ(sent.get(), 10u);
  EXPECT_TRUE(servedInsideDialog);
  EXPECT_EQ(procedureThread, GetCurrentThreadId());
}

// A message the bridge dispatches may itself run an event loop (a message
// box in a handler): sends from workers are served inside it too.
TEST_F(QueueBridgeTest, SendIsServedInsideALoopRunByADispatchedMessage) {
  QEventLoop inner;
  std::future<DWORD_PTR> sent;
  bool servedInside = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!inner.isRunning()) return;
    if (!sent.valid()) {
      sent = SendFromWorker(20);
    } else if (sent.wait_for(0ms) == std::future_status::ready) {
      servedInside = true;
      inner.exit(1);
    }
  });
  poll.start(5);
  QTimer::singleShot(5000, &inner, [&] { inner.exit(-1); });
  PostMessageA(window_, kNested, 0, reinterpret_cast<LPARAM>(&inner));
  QEventLoop outer;
  QTimer::singleShot(6000, &outer, &QEventLoop::quit);
  // Left once the nested message has been handled and has returned.
  QTimer done;
  QObject::connect(&done, &QTimer::timeout, [&] {
    if (servedInside && !inner.isRunning()) outer.quit();
  });
  done.start(5);
  outer.exec();
  EXPECT_TRUE(servedInside);
  ASSERT_TRUE(sent.valid());
  ASSERT_EQ(sent.wait_for(0ms), std::future_status::ready);
  EXPECT_EQ(sent.get(), 21u);
}

TEST_F(QueueBridgeTest, PostedMessagesReachTheirWindowAndAQuitEndsTheLoop) {
  std::thread([this] {
    PostMessageA(window_, kClose, 0, 0);
    PostMessageA(window_, kClose, 0, 0);
  }).join();
  PostQuitMessage(3);
  QEventLoop loop;
  QTimer::singleShot(5000, &loop, [&] { loop.exit(-1); });
  EXPECT_EQ(loop.exec(), 3);
  EXPECT_EQ(closeCount, 2);
}

}  // namespace
