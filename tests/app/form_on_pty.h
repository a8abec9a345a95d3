// The real main window on Qt's offscreen platform with its port on a
// pseudo-terminal: the test plays the device on the master side, reads the
// exact bytes the window sends and feeds it reply bytes. The timer is
// stopped; tests tick it themselves.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QTimer>
#include <memory>
#include <string>

#include "app/window/form1.h"
#include "app/window/gauge.h"
#include "app/window/shape.h"
#include "serial/ui/port_test_support.h"
#include "support/pty_pair.h"

namespace morvel::test {

inline const std::string kOk = "\r\nOK\r\n";

// Runs Qt's event loop, which also serves the port's notifications, until
// `done` holds or `limit` passes.
template <class Done>
bool Serve(Done done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  QTimer wake;
  wake.start(10);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

class FormOnPty : public testing::Test {
 protected:
  FormOnPty() {
    HideMachinePorts(folder_);
    folder_.Link(7, pty_.SlavePath());
    DialogAnswer answer("COM7", DialogAnswer::kOk);
    form_ = std::make_unique<TForm1>();
    form_->Timer1->stop();
    firstCommand_ = pty_.ReadUntil("ATE\r\n");
    // The session set-up: echo off, then text mode, each answered.
    Device(kOk);
    textMode_ = SentThrough("AT+CMGF=1\r\n");
    Device(kOk);
  }
  ~FormOnPty() override { form_.reset(); }

  DialogueState& State() { return form_->DeviceDialogue().State; }

  // The window's monitor, one entry a line.
  QStringList MonitorLines() const {
    QStringList lines = form_->Monitor->toPlainText().split('\n');
    lines.removeLast();  // the empty caret line after the last line
    return lines;
  }

  // The device sends `bytes`; returns once the window has completed as many
  // lines as they hold carriage returns.
  void Device(const std::string& bytes) {
    const qsizetype expected = MonitorLines().size() +
                               static_cast<qsizetype>(std::count(bytes.begin(), bytes.end(), '\r'));
    pty_.Write(bytes);
    ASSERT_TRUE(Serve([&] { return MonitorLines().size() >= expected; })) << bytes;
  }

  // What the window sent, up to and including `last`, served meanwhile.
  std::string SentThrough(const std::string& last) {
    std::string sent;
    Serve([&] {
      sent += pty_.ReadAvailable(std::chrono::milliseconds(1));
      return sent.find(last) != std::string::npos;
    });
    return sent;
  }
  // Whatever else it sends within a short quiet time.
  std::string SentAfterwards() { return pty_.ReadAvailable(std::chrono::milliseconds(150)); }

  // The device answers `command`, once the window has sent it, with `reply`;
  // returns what the window sent up to and including the command.
  std::string Answer(const std::string& command, const std::string& reply) {
    const std::string sent = SentThrough(command);
    Device(reply);
    return sent;
  }

  // The status poll asks for the registration on the next tick.
  std::string AskRegistration() {
    State().LinkMissCount = 9;
    Tick();
    return SentThrough("AT+CREG?\r\n");
  }

  bool LedLit() const { return form_->LED->isVisibleTo(form_.get()); }

  void Tick(int times = 1) {
    for (int i = 0; i < times; ++i) form_->Timer1Timer(form_->Timer1);
  }

  ReportRecorder reports_;
  PortFolder folder_;
  PtyPair pty_;
  std::unique_ptr<TForm1> form_;
  std::string firstCommand_;
  std::string textMode_;
};

}  // namespace morvel::test
