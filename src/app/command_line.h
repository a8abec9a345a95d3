// The command line, read before anything of the window system is touched,
// so that --help, --version and a mistyped option answer on a machine
// without a display (a server, ssh, a build log).
#pragma once

#include <string>

#include "app/window/recorder_options.h"

struct CommandLine {
  enum class Request { kRun, kHelp, kVersion, kMistake };

  Request What = Request::kRun;
  RecorderOptions Recorders;
  // What was wrong with the command line, for kMistake.
  std::string Mistake;
  // The options, shown after --help and after a mistake.
  std::string Usage;
};

// Qt's own options (-platform, -style, ...) and their values are passed
// over: QApplication takes them from argv when it is made.
CommandLine ReadCommandLine(int argc, char** argv);
