#include "app/command_line.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <array>
#include <string_view>

namespace {

// The options QGuiApplication and QApplication document for themselves,
// each followed by a value (also written -name=value), and those without.
constexpr std::array<std::string_view, 12> kQtOptionsWithValue = {
    "platform",        "platformpluginpath", "platformtheme", "plugin",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session",
    "display",         "geometry",           "style",         "stylesheet"};
constexpr std::array<std::string_view, 3> kQtFlags = {"reverse", "widgetcount", "qmljsdebugger"};

bool Listed(const auto& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The arguments without Qt's options. Qt reads -name and --name alike, and
// takes a value either as the next argument or as -name=value.
QStringList OwnArguments(int argc, char** argv) {
  QStringList own{QString::fromLocal8Bit(argv[0])};
  for (int i = 1; i < argc; ++i) {
    std::string_view name = argv[i];
    if (name.starts_with('-')) {
      name.remove_prefix(name.starts_with("--") ? 2 : 1);
      const std::size_t equals = name.find('=');
      if (Listed(kQtOptionsWithValue, name.substr(0, equals))) {
        if (equals == std::string_view::npos) ++i;
        continue;
      }
      if (Listed(kQtFlags, name.substr(0, equals))) continue;
    }
    own << QString::fromLocal8Bit(argv[i]);
  }
  return own;
}

}  // namespace

CommandLine ReadCommandLine(int argc, char** argv) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Configures the Kestrix GSM device over a serial port: its master and service\n"
      "numbers, its six stored SMS, and the link, operator, signal and credit.");
  // Qt's own help and version options would need the application object.
  const QCommandLineOption help({"h", "help"}, "Show these options and end.");
  const QCommandLineOption version({"v", "version"}, "Show the version and end.");
  const QCommandLineOption trace("trace",
                                 "Record the serial trace; written as SERIAL.TRC into the "
                                 "current folder (or --folder) when the port closes.");
  const QCommandLineOption log("log",
                               "Record the dispatch log; written as SERIAL.LOG into the "
                               "current folder (or --folder) when the port closes.");
  const QCommandLineOption folder("folder", "Where SERIAL.TRC and SERIAL.LOG are written.",
                                  "folder", ".");
  parser.addOptions({help, version, trace, log, folder});

  CommandLine commandLine;
  // Without an application object Qt does not know the program's name.
  commandLine.Usage = parser.helpText().replace("<executable_name>", "morvel").toStdString();
  const auto mistake = [&](const QString& text) {
    commandLine.What = CommandLine::Request::kMistake;
    commandLine.Mistake = text.toStdString();
    return commandLine;
  };
  if (!parser.parse(OwnArguments(argc, argv))) return mistake(parser.errorText());
  if (!parser.positionalArguments().isEmpty())
    return mistake(QString("Unexpected argument '%1'.").arg(parser.positionalArguments().first()));
  if (parser.isSet(help)) {
    commandLine.What = CommandLine::Request::kHelp;
    return commandLine;
  }
  if (parser.isSet(version)) {
    commandLine.What = CommandLine::Request::kVersion;
    return commandLine;
  }
  RecorderOptions& recorders = commandLine.Recorders;
  recorders.Trace = parser.isSet(trace);
  recorders.Log = parser.isSet(log);
  const QFileInfo where(parser.value(folder));
  if ((recorders.Trace || recorders.Log) && !where.isDir())
    return mistake(QString("%1 is not a folder.").arg(where.filePath()));
  recorders.Folder = QFile::encodeName(QDir::cleanPath(where.absoluteFilePath())).toStdString();
  return commandLine;
}
