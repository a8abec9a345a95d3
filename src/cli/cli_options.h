// morvelctl's command line: the command, its file, the ports and the
// options, read before any port is touched.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class Command { kRead, kWrite, kDiff, kStatus };

// "read", "write", "diff" or "status".
std::string CommandName(Command command);

struct CliOptions {
  Command What = Command::kRead;
  // The .mvf file write and diff take.
  std::string File;
  // Each --port as given, in order.
  std::vector<std::string> Ports;
  // read's -o: a file, or a folder that gets one file per port.
  std::optional<std::string> Output;
  bool Quiet = false;
  bool Json = false;
  bool Trace = false;
  bool Log = false;
  // Where SERIAL.TRC and SERIAL.LOG go.
  std::string Folder = ".";
};

struct CommandLine {
  enum class Request { kRun, kHelp, kVersion, kMistake };

  Request What = Request::kRun;
  CliOptions Options;
  // What was wrong, for kMistake.
  std::string Mistake;
};

CommandLine ReadCommandLine(int argc, char** argv);

// The usage text --help prints and a mistake is followed by.
extern const char kUsageText[];
