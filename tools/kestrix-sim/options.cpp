#include "options.h"

#include <charconv>
#include <map>

#include "command_pattern.h"
#include "latin1_text.h"
#include "pdu.h"
#include "phone_number.h"

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

std::string Pattern(const std::string& flag, const std::string& text) {
  std::string pattern = CommandPattern(text);
  if (pattern.empty()) throw UsageError(flag + " needs a command, for instance +CSQ or +CMGD=3");
  return pattern;
}

// CMD:REST, the command being what comes before the first colon.
std::pair<std::string, std::string> CommandAndRest(const std::string& flag, const std::string& text,
                                                   const std::string& shape) {
  std::size_t colon = text.find(':');
  std::string command = CommandPattern(text.substr(0, colon));
  if (command.empty() || colon == std::string::npos || colon + 1 >= text.size())
    throw UsageError(flag + " needs " + shape);
  return {command, text.substr(colon + 1)};
}

IncomingMessage Incoming(const std::string& text) {
  const std::string flag = "--incoming-at";
  IncomingMessage message;
  if (text.find(':') == std::string::npos) {
    message.command = CommandPattern(text);
    if (message.command.empty()) throw UsageError(flag + " needs CMD or CMD:NUMBER:TEXT");
    return message;
  }
  auto [command, rest] = CommandAndRest(flag, text, "CMD or CMD:NUMBER:TEXT");
  std::size_t colon = rest.find(':');
  if (colon == std::string::npos) throw UsageError(flag + " needs CMD or CMD:NUMBER:TEXT");
  message.command = command;
  message.number = rest.substr(0, colon);
  if (CheckNumber(message.number, Phonebook::kNumberDigits) != NumberCheck::kValid)
    throw UsageError(flag + ": '" + message.number + "' is not a phone number");
  auto latin1 = Utf8ToLatin1(rest.substr(colon + 1));
  if (!latin1 || !FitsOneMessage(*latin1))
    throw UsageError(flag + ": the text must be Latin-1 characters that fit one short message");
  message.text = *latin1;
  return message;
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
  --sim-write-ms MS    SIM writes (AT+CMGW, AT+CPBW, AT+CMGD) keep the device
                       busy MS before the prompt or the answer; what arrives
                       meanwhile is handled afterwards, in order
  --lose CMD           the first line holding CMD is never answered (repeatable)
  --unsolicited-at CMD:LINE
                       send LINE after the reply to the first line holding CMD
  --incoming-at CMD[:NUMBER:TEXT]
                       after the reply to the first line holding CMD an SMS
                       arrives: stored unread, announced with +CMTI
  --restart-at CMD     the first line holding CMD restarts the device instead
                       of being answered: echo on, power-up settings, banners
  --restart-ms MS      from the restart to its banners (default 300)
CMD is a command (+CSQ, AT+CSQ) or one form of it (+CMGD=3, +CREG?).

How the device starts (they replace the state file's power_up):
  --pdu-at-start       message format PDU (AT+CMGF=0) at start and after ATZ
  --cmee N             AT+CMEE mode at start: 1 numeric, 2 verbose errors
  --creg-reports N     AT+CREG=N at start (0 to 2)
  --sim-pin            the SIM waits for its PIN: not registered, phonebook
                       and messages refused
  --phonebook-size N   the SIM has N phonebook locations (1 to 1000)

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
      o.ignore.push_back(Pattern(flag, value()));
    } else if (flag == "--fail") {
      o.fail.push_back(Pattern(flag, value()));
    } else if (flag == "--unsolicited") {
      o.unsolicited.push_back(UnsolicitedLine(value()));
    } else if (flag == "--registration") {
      o.registration = Registration(value());
    } else if (flag == "--hangup-after") {
      o.hangupAfter = static_cast<int>(Number(flag, value(), 1, 1000000));
    } else if (flag == "--sim-write-ms") {
      o.simWriteMs = static_cast<int>(Number(flag, value(), 0, 60000));
    } else if (flag == "--lose") {
      o.lose.push_back(Pattern(flag, value()));
    } else if (flag == "--unsolicited-at") {
      auto [command, line] = CommandAndRest(flag, value(), "CMD:LINE, for instance +CMGD=3:RING");
      o.unsolicitedAt.push_back({command, line});
    } else if (flag == "--incoming-at") {
      o.incomingAt.push_back(Incoming(value()));
    } else if (flag == "--restart-at") {
      o.restartAt.push_back(Pattern(flag, value()));
    } else if (flag == "--restart-ms") {
      o.restartMs = static_cast<int>(Number(flag, value(), 0, 60000));
    } else if (flag == "--pdu-at-start") {
      o.pduAtStart = true;
    } else if (flag == "--sim-pin") {
      o.simPin = true;
    } else if (flag == "--cmee") {
      o.cmee = static_cast<int>(Number(flag, value(), 0, 2));
    } else if (flag == "--creg-reports") {
      o.cregReports = static_cast<int>(Number(flag, value(), 0, 2));
    } else if (flag == "--phonebook-size") {
      o.phonebookSize = static_cast<int>(Number(flag, value(), 1, 1000));
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
  if (o.simWriteMs) f.simWriteMs = *o.simWriteMs;
  if (!o.lose.empty()) f.lose = o.lose;
  if (!o.unsolicitedAt.empty()) f.unsolicitedAt = o.unsolicitedAt;
  if (!o.incomingAt.empty()) f.incomingAt = o.incomingAt;
  if (!o.restartAt.empty()) f.restartAt = o.restartAt;
  if (o.restartMs) f.restartMs = *o.restartMs;
  if (o.registration) state.network.registration = *o.registration;
  PowerUp& p = state.powerUp;
  if (o.pduAtStart) p.textMode = false;
  if (o.simPin) p.simPin = true;
  if (o.cmee) p.errorMode = *o.cmee;
  if (o.cregReports) p.registrationReports = *o.cregReports;
  if (o.phonebookSize) {
    Phonebook& book = state.phonebook;
    // Dropping the entries beyond would lose them from a saved state.
    if (!book.entries.empty() && book.entries.rbegin()->first > *o.phonebookSize)
      throw UsageError("--phonebook-size " + std::to_string(*o.phonebookSize) +
                       " is too small: the phonebook has an entry at location " +
                       std::to_string(book.entries.rbegin()->first));
    book.size = *o.phonebookSize;
  }
}

}  // namespace kestrix
