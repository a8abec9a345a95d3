#include "serial/ui/thread_error_display.h"

#include <QCoreApplication>
#include <stdexcept>
#include <string>

#include "gui/application.h"
#include "serial/thread_error_report.h"

namespace ser {

void DisplayThreadErrors() {
  static bool installed = false;
  QCoreApplication* app = QCoreApplication::instance();
  if (installed || app == nullptr) return;
  installed = true;
  // Queued to the main thread, so the ending thread is not held up.
  SetThreadErrorReport([app](const std::string& message) {
    QMetaObject::invokeMethod(
        app, [message] { Application().ShowException(std::runtime_error(message)); },
        Qt::QueuedConnection);
  });
  qAddPostRoutine([] {
    SetThreadErrorReport(nullptr);
    installed = false;
  });
}

}  // namespace ser
