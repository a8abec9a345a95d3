#include "cli/cli_options.h"

#include <getopt.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

const char kUsageText[] =
    "Usage: morvelctl read --port P [-o FILE]\n"
    "       morvelctl write FILE --port P\n"
    "       morvelctl diff FILE --port P\n"
    "       morvelctl status --port P\n"
    "\n"
    "Reads, writes and checks the configuration of Kestrix devices: the master\n"
    "and service numbers, the six stored SMS, kept as a .mvf file.\n"
    "\n"
    "  -p, --port P    the device: COMn, n, or a device path (/dev/ttyUSB0,\n"
    "                  /dev/serial/by-id/...); repeat for several devices at once\n"
    "  -o, --output F  read into file F, or into folder F as one <port>.mvf each\n"
    "  -q, --quiet     no progress on standard error\n"
    "      --json      the result as JSON on standard output\n"
    "      --trace     write the serial trace as SERIAL.TRC\n"
    "      --log       write the dispatch log as SERIAL.LOG\n"
    "      --folder D  where SERIAL.TRC and SERIAL.LOG go (default: here)\n"
    "  -h, --help      show this and end\n"
    "  -v, --version   show the version and end\n"
    "\n"
    "Exit status: 0 done, 1 the device refused or differs, 2 usage,\n"
    "3 port missing, busy or not permitted, 4 the device did not answer in time.\n";

namespace {

enum LongOnly { kJson = 256, kTrace, kLog, kFolder };

constexpr std::array<std::pair<std::string_view, Command>, 4> kCommands{{
    {"read", Command::kRead},
    {"write", Command::kWrite},
    {"diff", Command::kDiff},
    {"status", Command::kStatus},
}};

bool IsFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// What the options read leave to check: the command and its file.
std::string CheckCommand(const std::vector<std::string>& words, CliOptions& options) {
  if (words.empty()) return "no command: read, write, diff or status";
  const auto command = std::find_if(kCommands.begin(), kCommands.end(),
                                    [&](const auto& known) { return known.first == words[0]; });
  if (command == kCommands.end()) return "unknown command '" + words[0] + "'";
  options.What = command->second;
  const bool takesFile = options.What == Command::kWrite || options.What == Command::kDiff;
  if (takesFile && words.size() < 2) return words[0] + " needs the .mvf file to " + words[0];
  const std::size_t expected = takesFile ? 2 : 1;
  if (words.size() > expected) return "unexpected argument '" + words[expected] + "'";
  if (takesFile) options.File = words[1];
  if (options.Ports.empty()) return "no --port given";
  if (options.Output && options.What != Command::kRead) return "-o is for read only";
  if ((options.Trace || options.Log) && !IsFolder(options.Folder))
    return options.Folder + " is not a folder";
  return {};
}

}  // namespace

std::string CommandName(Command command) {
  for (const auto& [name, known] : kCommands) {
    if (known == command) return std::string(name);
  }
  return {};
}

CommandLine ReadCommandLine(int argc, char** argv) {
  static const option kLong[] = {
      {"port", required_argument, nullptr, 'p'},
      {"output", required_argument, nullptr, 'o'},
      {"quiet", no_argument, nullptr, 'q'},
      {"json", no_argument, nullptr, kJson},
      {"trace", no_argument, nullptr, kTrace},
      {"log", no_argument, nullptr, kLog},
      {"folder", required_argument, nullptr, kFolder},
      {"help", no_argument, nullptr, 'h'},
      {"version", no_argument, nullptr, 'v'},
      {nullptr, 0, nullptr, 0},
  };
  CommandLine line;
  CliOptions& options = line.Options;
  const auto mistake = [&line](std::string text) {
    line.What = CommandLine::Request::kMistake;
    line.Mistake = std::move(text);
    return line;
  };
  // The messages are ours; getopt's own would name the program differently.
  opterr = 0;
  optind = 0;
  // "-" first: the command and the file may stand anywhere among the options.
  std::vector<std::string> words;
  for (int c; (c = getopt_long(argc, argv, "-p:o:qhv", kLong, nullptr)) != -1;) {
    switch (c) {
      case 1:
        words.emplace_back(optarg);
        break;
      case 'p':
        options.Ports.emplace_back(optarg);
        break;
      case 'o':
        options.Output = optarg;
        break;
      case 'q':
        options.Quiet = true;
        break;
      case kJson:
        options.Json = true;
        break;
      case kTrace:
        options.Trace = true;
        break;
      case kLog:
        options.Log = true;
        break;
      case kFolder:
        options.Folder = optarg;
        break;
      case 'h':
        line.What = CommandLine::Request::kHelp;
        return line;
      case 'v':
        line.What = CommandLine::Request::kVersion;
        return line;
      default:
        return mistake(std::string("unknown option or missing value: ") + argv[optind - 1]);
    }
  }
  if (std::string wrong = CheckCommand(words, options); !wrong.empty()) return mistake(wrong);
  return line;
}
