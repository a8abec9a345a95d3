#include "options.h"

#include <charconv>
#include <map>

#include "state_file.h"

namespace kestrix {

namespace {

long long Number(const std::string& flag, const std::string& text, long long low, long long high) {
  long long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
    throw UsageError(flag + " needs a number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not '" + text + "'");
  return value;
}

std::vector<std::size_t> Offsets(const std::string& text) {
  std::vector<std::size_t> out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    std::string part = text.substr(start, comma == std::string::npos ? comma : comma - start);
    out.push_back(static_cast<std::size_t>(Number("--split-at", part, 1, 1 << 20)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

Unsolicited UnsolicitedLine(const std::string& text) {
  std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon + 1 >= text.size())
    throw UsageError("--unsolicited needs N:LINE, for instance 2:RING");
  return Unsolicited{static_cast<int>(Number("--unsolicited", text.substr(0, colon), 1, 1000000)),
                     text.substr(colon + 1)};
}

int Registration(const std::string& text) {
  static const std::map<std::string, int> kNames = {{"none", 0},   {"home", 1},    {"searching", 2},
                                                    {"denied", 3}, {"unknown", 4}, {"roaming", 5}};
  auto it = kNames.find(text);
  if (it == kNames.end())
    throw UsageError("--registration needs home, roaming, denied, searching, unknown or none");
  return it->second;
}

}  // namespace

std::string UsageText() {
  return R"(Usage: kestrix-sim [options]
A simulated Kestrix GSM device on a pseudo-terminal. Prints the path of the
device a client opens, then serves it until SIGINT or SIGTERM.

  --com N              also place the link comN in the port folder
                       ($MORVEL_PORTS, else $XDG_CONFIG_HOME/morvel/ports,
                       else ~/.config/morvel/ports); removed at the end
  --tty PATH           serve an existing serial device instead of a new pty
  --state FILE         load the device state (JSON) from FILE; by default the
                       sample state installed beside the program
                       (/usr/share/morvel/sample-state.json in the package),
                       else an empty SIM
  --save-state FILE    write the device state to FILE at the end
  --log FILE           log every received command line with its exact bytes
  --baud B             pace the output at B baud (10 bits a byte); default unpaced

Faults, for tests (they replace those of the state file):
  --split-at A,B,...   split every reply after these byte offsets
  --split-random SEED  split every reply at random offsets
  --fragment-gap MS    pause between fragments (default 20)
  --delay MS           delay every reply
  --ignore CMD         never answer a line holding CMD (repeatable), e.g. +CSQ
  --fail CMD           answer ERROR to a line holding CMD (repeatable)
  --unsolicited N:LINE send LINE after the reply to command line N (repeatable)
  --registration R     home, roaming, denied, searching, unknown or none
  --hangup-after N     hang up (and end) after N command lines

  --help               show this text
)";
}

Options ParseOptions(const std::vector<std::string>& args) {
  Options o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& flag = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError(flag + " needs a value");
      return args[++i];
    };
    if (flag == "--help" || flag == "-h") {
      o.help = true;
    } else if (flag == "--com") {
      o.com = static_cast<unsigned>(Number(flag, value(), 1, 255));
    } else if (flag == "--tty") {
      o.tty = value();
    } else if (flag == "--state") {
      o.stateFile = value();
    } else if (flag == "--save-state") {
      o.saveStateFile = value();
    } else if (flag == "--log") {
      o.logFile = value();
    } else if (flag == "--baud") {
      o.baud = static_cast<int>(Number(flag, value(), 50, 4000000));
    } else if (flag == "--split-at") {
      o.splitAt = Offsets(value());
    } else if (flag == "--split-random") {
      o.splitRandomSeed = static_cast<unsigned>(Number(flag, value(), 0, 0xFFFFFFFFLL));
    } else if (flag == "--fragment-gap") {
      o.fragmentGapMs = static_cast<int>(Number(flag, value(), 0, 10000));
    } else if (flag == "--delay") {
      o.delayMs = static_cast<int>(Number(flag, value(), 0, 60000));
    } else if (flag == "--ignore") {
      o.ignore.push_back(CommandName(value()));
    } else if (flag == "--fail") {
      o.fail.push_back(CommandName(value()));
    } else if (flag == "--unsolicited") {
      o.unsolicited.push_back(UnsolicitedLine(value()));
    } else if (flag == "--registration") {
      o.registration = Registration(value());
    } else if (flag == "--hangup-after") {
      o.hangupAfter = static_cast<int>(Number(flag, value(), 1, 1000000));
    } else {
      throw UsageError("unknown option '" + flag + "'");
    }
  }
  if (o.com && !o.tty.empty()) throw UsageError("--com and --tty cannot be used together");
  return o;
}

void ApplyFaultOptions(const Options& o, SimState& state) {
  Faults& f = state.faults;
  if (o.splitAt) f.splitAt = *o.splitAt;
  if (o.splitRandomSeed) {
    f.splitRandom = true;
    f.seed = *o.splitRandomSeed;
  }
  if (o.fragmentGapMs) f.fragmentGapMs = *o.fragmentGapMs;
  if (o.delayMs) f.delayMs = *o.delayMs;
  if (!o.ignore.empty()) f.ignore = {o.ignore.begin(), o.ignore.end()};
  if (!o.fail.empty()) f.fail = {o.fail.begin(), o.fail.end()};
  if (!o.unsolicited.empty()) f.unsolicited = o.unsolicited;
  if (o.hangupAfter) f.hangupAfter = *o.hangupAfter;
  if (o.registration) state.network.registration = *o.registration;
}

}  // namespace kestrix
