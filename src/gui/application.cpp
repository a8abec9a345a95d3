#include "gui/application.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QString>
#include <optional>

#include "gui/queue_bridge.h"
#include "platform/threads.h"

namespace {

// The message box of the standard report. 8-bit texts cross into Qt as Latin-1.
void ShowMessageBox(const std::string& title, const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QString::fromLatin1(title.c_str()),
                  QString::fromLatin1(text.c_str()), QMessageBox::Ok);
  box.exec();
}

// The message and a full stop; a message that already ends in one keeps it
// single.
std::string ReportText(const std::string& message) {
  if (!message.empty() && message.back() == '.') return message;
  return message + ".";
}

}  // namespace

TApplication::TApplication() : report_(ShowMessageBox) {}

TApplication::~TApplication() = default;

void TApplication::ShowException(const std::exception& error) {
  Report(ReportText(error.what()));
}

void TApplication::HandleException() {
  try {
    throw;
  } catch (const std::exception& error) {
    ShowException(error);
  } catch (...) {
    Report(ReportText("Unknown exception"));
  }
}

void TApplication::Report(const std::string& text) {
  // The box runs an event loop of its own, in which the timer goes on
  // ticking and the port delivering: an error that repeats every tick (a
  // device that stopped taking commands) would stack boxes without end. One
  // at a time; what comes meanwhile waits for the box to close.
  if (reporting_) {
    waiting_.Add(text);
    return;
  }
  reporting_ = true;
  struct EndOfReporting {
    bool& reporting;
    ~EndOfReporting() { reporting = false; }
  } end{reporting_};
  for (std::optional<std::string> next = text; next; next = waiting_.Next()) {
    report_(Title, *next);
  }
}

void TApplication::SetExceptionReport(ExceptionReport report) {
  report_ = report ? std::move(report) : ExceptionReport(ShowMessageBox);
}

void TApplication::ServeMessageQueue() {
  if (bridge_ || !QCoreApplication::instance() || !OnMainThread()) return;
  bridge_ = std::make_unique<QueueBridge>();
  // The bridge's notifier must go while Qt's event dispatcher still exists.
  qAddPostRoutine([] { Application().bridge_.reset(); });
}

bool TApplication::OnMainThread() const {
  return GetCurrentThreadId() == GetMainThreadId();
}

TApplication& Application() {
  static TApplication application;
  return application;
}
