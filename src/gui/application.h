// The application object: the program's title, its main thread and the
// standard exception report every handler's escaping error ends in.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "gui/report_queue.h"

class QueueBridge;

class TApplication {
 public:
  // Receives the caption and the text of an exception report.
  using ExceptionReport = std::function<void(const std::string& title, const std::string& text)>;

  TApplication();
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  std::string Title = "Morvel";

  // The standard exception report: a message box captioned with Title, an
  // error icon, an OK button and the message followed by a full stop. A
  // report raised while one is still open is shown when it closes.
  void ShowException(const std::exception& error);
  // Reports the exception being handled; call it inside a catch block.
  void HandleException();
  // Tests put a recorder in place of the message box; an empty report brings
  // the box back.
  void SetExceptionReport(ExceptionReport report);

  // Whether the caller runs on the program's main thread.
  bool OnMainThread() const;

  // Lets Qt's event loop serve the calling thread's platform message queue,
  // so the serial line's notifications reach their windows. Does nothing
  // without a QCoreApplication, off the main thread, or when already done;
  // ends with the QCoreApplication.
  void ServeMessageQueue();

 private:
  void Report(const std::string& text);

  ExceptionReport report_;
  bool reporting_ = false;
  ReportQueue waiting_;
  std::unique_ptr<QueueBridge> bridge_;
};

// The process's application object, made on first use.
TApplication& Application();
