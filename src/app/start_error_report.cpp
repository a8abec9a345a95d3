#include "app/start_error_report.h"

#include <QApplication>
#include <stdexcept>

#include "gui/application.h"

namespace {

bool DisplayNamed() {
  return !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// The platform Qt would choose, then offscreen: a display that is named but
// cannot be reached (a stale DISPLAY over ssh) must not abort the program.
QByteArray PlatformsToTry() {
  QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
  if (chosen.isEmpty())
    chosen = qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? "xcb" : "wayland;xcb";
  return chosen + ";offscreen";
}

}  // namespace

void ReportStartError(int argc, char** argv, const std::string& message) {
  if (!DisplayNamed()) return;
  qputenv("QT_QPA_PLATFORM", PlatformsToTry());
  QApplication app(argc, argv);
  // Nobody could see, nor close, a box there: it would wait for ever.
  const QString platform = QGuiApplication::platformName();
  if (platform == "offscreen" || platform == "minimal") return;
  Application().ShowException(std::runtime_error(message));
}
