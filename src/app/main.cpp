// Program entry: the window asks for a port while it is created; without a
// port chosen and opened there is nothing to run, and the program ends
// without showing it. The command line only adds what a person supporting
// a device in the field needs: the serial trace and the dispatch log. It is
// read before the application object exists, which needs a display.
#include <QApplication>
#include <cstdio>

#include "app/command_line.h"
#include "app/start_error_report.h"
#include "app/window/form1.h"
#include "gui/application.h"

namespace {

constexpr int kUsageExit = 2;

}  // namespace

int main(int argc, char** argv) {
  QApplication::setApplicationName("Morvel");
  QApplication::setApplicationVersion(MORVEL_VERSION);
  const CommandLine commandLine = ReadCommandLine(argc, argv);
  switch (commandLine.What) {
    case CommandLine::Request::kHelp:
      std::fputs(commandLine.Usage.c_str(), stdout);
      return 0;
    case CommandLine::Request::kVersion:
      std::printf("Morvel %s\n", MORVEL_VERSION);
      return 0;
    case CommandLine::Request::kMistake:
      std::fprintf(stderr, "morvel: %s\n%s", commandLine.Mistake.c_str(),
                   commandLine.Usage.c_str());
      ReportStartError(argc, argv, commandLine.Mistake);
      return kUsageExit;
    case CommandLine::Request::kRun:
      break;
  }
  QApplication app(argc, argv);
  Application().Title = "Morvel";
  TForm1 form1(commandLine.Recorders);
  if (form1.DeviceDialogue().State.StartComNumber == 0) return 0;
  form1.show();
  return QApplication::exec();
}
