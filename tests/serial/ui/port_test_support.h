// What the port component's tests share: a port that shows its inner state,
// a bounded message pump, an answerer for the port selection dialog, and a
// recorder in place of the standard exception report.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "gui/application.h"
#include "platform/messages.h"
#include "platform/sync.h"
#include "serial/ui/com_port.h"
#include "serial/ui/com_select_form.h"
#include "support/port_folder.h"

namespace morvel::test {

// The port component with its inner state readable.
class TestPort : public TSerComPort {
 public:
  using TSerComPort::TSerComPort;
  using TSerCustomComPort::ActiveDispatcher;
  using TSerCustomComPort::ForceApply;
  using TSerCustomComPort::NotifyWindow;
  using TSerCustomComPort::OpenState;
  using TSerCustomComPort::ReopenRequested;
  using TSerCustomComPort::SavedTriggers;
  using TSerCustomComPort::TriggersSaved;
};

// Serves this thread's message queue until `done` holds or `limit` passes.
// `afterEach` runs after every look at the queue (which runs the messages
// sent to this thread) and before the posted message it took is dispatched.
template <class Done, class AfterEach>
bool PumpUntil(Done done, AfterEach afterEach,
               std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    for (;;) {
      MSG msg;
      bool taken = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
      afterEach();
      if (!taken) break;
      if (msg.message != WM_QUIT) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

template <class Done>
bool PumpUntil(Done done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  return PumpUntil(
      done, [] {}, limit);
}

// Answers the next port selection dialog: notes its entries and their
// tooltips, picks `entry` when it is listed, and ends the dialog.
class DialogAnswer {
 public:
  enum Action { kOk, kCancelButton, kCloseBox };

  // `beforeAction` runs once the entry is picked, before the button is pressed.
  DialogAnswer(std::string entry, Action action, std::function<void()> beforeAction = nullptr)
      : entry_(std::move(entry)), action_(action), beforeAction_(std::move(beforeAction)) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Answer(); });
    timer_.start();
  }

  int Shown() const { return shown_; }
  const QStringList& Entries() const { return entries_; }
  const QStringList& ToolTips() const { return toolTips_; }
  // Answer the next dialog too (the same way).
  void Rearm() { timer_.start(); }

 private:
  void Answer() {
    auto* form = qobject_cast<TComSelectForm*>(QApplication::activeModalWidget());
    if (!form) return;
    timer_.stop();
    ++shown_;
    entries_.clear();
    toolTips_.clear();
    for (int i = 0; i < form->PortsComboBox->count(); ++i) {
      entries_ << form->PortsComboBox->itemText(i);
      toolTips_ << form->PortsComboBox->itemData(i, Qt::ToolTipRole).toString();
    }
    int index = form->PortsComboBox->findText(QString::fromStdString(entry_));
    if (index >= 0) form->PortsComboBox->setCurrentIndex(index);
    if (beforeAction_) beforeAction_();
    switch (action_) {
      case kOk:
        form->OkBtn->click();
        break;
      case kCancelButton:
        form->AbortBtn->click();
        break;
      case kCloseBox:
        form->close();
        break;
    }
  }

  std::string entry_;
  Action action_;
  std::function<void()> beforeAction_;
  QTimer timer_;
  int shown_ = 0;
  QStringList entries_;
  QStringList toolTips_;
};

// Takes the standard exception report's place for the life of a test.
class ReportRecorder {
 public:
  ReportRecorder() {
    Application().SetExceptionReport([this](const std::string& title, const std::string& text) {
      reports_.emplace_back(title, text);
    });
  }
  ~ReportRecorder() { Application().SetExceptionReport(nullptr); }
  ReportRecorder(const ReportRecorder&) = delete;
  ReportRecorder& operator=(const ReportRecorder&) = delete;

  const std::vector<std::pair<std::string, std::string>>& Reports() const { return reports_; }

 private:
  std::vector<std::pair<std::string, std::string>> reports_;
};

// Makes every port from 1 to 50 absent except those linked afterwards, so
// the machine's own serial devices never show up in a test.
inline void HideMachinePorts(PortFolder& folder) {
  for (unsigned n = 1; n <= 50; ++n) folder.Link(n, "/nonexistent/morvel-test-port");
}

}  // namespace morvel::test
