// Program entry: the window asks for a port while it is created; without a
// port chosen and opened there is nothing to run, and the program ends
// without showing it. The command line only adds what a person supporting
// a device in the field needs: the serial trace and the dispatch log.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "app/window/form1.h"
#include "gui/application.h"

namespace {

// The recorders asked for; ends the program with a message on a bad folder.
RecorderOptions ParseCommandLine(const QApplication& app) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Configures the Kestrix GSM device over a serial port: its master and service numbers, its "
      "six stored SMS, and the link, operator, signal and credit.");
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption trace("trace",
                                 "Record the serial trace; written as SERIAL.TRC into the "
                                 "current folder (or --folder) when the port closes.");
  const QCommandLineOption log("log",
                               "Record the dispatch log; written as SERIAL.LOG into the "
                               "current folder (or --folder) when the port closes.");
  const QCommandLineOption folder("folder", "Where SERIAL.TRC and SERIAL.LOG are written.",
                                  "folder", ".");
  parser.addOptions({trace, log, folder});
  parser.process(app);
  RecorderOptions options;
  options.Trace = parser.isSet(trace);
  options.Log = parser.isSet(log);
  const QFileInfo where(parser.value(folder));
  if ((options.Trace || options.Log) && !where.isDir()) {
    std::fprintf(stderr, "morvel: %s is not a folder\n", qPrintable(where.filePath()));
    std::exit(2);
  }
  options.Folder = QFile::encodeName(QDir::cleanPath(where.absoluteFilePath())).toStdString();
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Application().Title = "Morvel";
  QApplication::setApplicationName("Morvel");
  QApplication::setApplicationVersion(MORVEL_VERSION);
  const RecorderOptions recorders = ParseCommandLine(app);
  TForm1 form1(recorders);
  if (form1.DeviceDialogue().State.StartComNumber == 0) return 0;
  form1.show();
  return QApplication::exec();
}
