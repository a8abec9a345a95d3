#include "gui/queue_bridge.h"

#include <QCoreApplication>

#include "platform/messages.h"

QueueBridge::QueueBridge()
    : notifier_(std::make_unique<QSocketNotifier>(GetThreadQueueFd(), QSocketNotifier::Read)) {
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Serve(); });
}

QueueBridge::~QueueBridge() = default;

void QueueBridge::Serve() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      QCoreApplication::exit(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}
