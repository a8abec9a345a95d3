#include "line_engine/command_forms.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace fuzz {
namespace {

using config::ConfigField;

constexpr std::array<std::string_view, 12> kPlainCommands{
    "ATE",      "AT",       "AT+CMGF=1",     "AT+CREG?",  "AT+CSQ",   "AT+COPS?",
    "AT+CAMM?", "AT+CACM?", "AT+CPBR=1,100", "AT+CPBR=?", "AT+CSCA?", "AT+CMGL=ALL",
};
// The phonebook tags written back, in the order of the fields MASTER1 to SERVICE.
constexpr std::array<std::string_view, 9> kWrittenTags{
    "MASTER1", "MASTER2", "MASTER3", "MASTER4", "MASTER5",
    "MASTER6", "MASTER7", "MASTER8", "SERVICE",
};
constexpr int64_t kListedLocations = 100;
constexpr char kCtrlZ = 26;
// Cancels a message prompt that has no text to answer it.
constexpr std::string_view kEscape = "\x1b";

bool Consume(std::string_view& text, std::string_view prefix) {
  if (!text.starts_with(prefix)) return false;
  text.remove_prefix(prefix.size());
  return true;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsSmsField(ConfigField field) {
  return config::LineOf(field) >= config::LineOf(ConfigField::SMSPhone1);
}

// Whether one of the SMS slots' fields of `kind` has held exactly `text`.
bool InSmsField(std::string_view text, config::FieldKind kind, const FieldHistory& held) {
  for (std::size_t line = 0; line < held.size(); ++line) {
    const ConfigField field = config::FieldAt(line);
    if (IsSmsField(field) && config::KindOf(field) == kind &&
        held[line].contains(std::string(text)))
      return true;
  }
  return false;
}

// A phonebook write: the number of the tag's field, its type by its first
// character, the tag.
bool IsEntryWrite(std::string_view arguments, const FieldHistory& held) {
  for (std::size_t slot = 0; slot < kWrittenTags.size(); ++slot) {
    for (const std::string& number : held[slot]) {
      if (number.empty()) continue;
      const std::string type = number.front() == '+' ? "145" : "129";
      if (arguments == number + "," + type + ",\"" + std::string(kWrittenTags[slot]) + "\"")
        return true;
    }
  }
  return false;
}

// "1," and the last location, below 100, as the device gave it.
bool IsShortListing(std::string_view arguments, const std::set<int64_t>& deviceNumbers) {
  if (!Consume(arguments, "1,") || arguments.empty() || arguments.size() > 2 ||
      arguments.front() == '0' || !std::all_of(arguments.begin(), arguments.end(), IsDigit)) {
    return false;
  }
  const int64_t last = std::stoi(std::string(arguments));
  return last < kListedLocations && deviceNumbers.contains(last);
}

bool StartsWithAny(std::string_view text, std::initializer_list<std::string_view> prefixes) {
  return std::any_of(prefixes.begin(), prefixes.end(),
                     [text](std::string_view prefix) { return text.starts_with(prefix); });
}

}  // namespace

bool IsDialogueCommand(std::string_view bytes, const FieldHistory& held,
                       const std::set<int64_t>& deviceNumbers) {
  if (bytes == kEscape) return true;
  if (bytes.ends_with(kCtrlZ)) {
    bytes.remove_suffix(1);
    return InSmsField(bytes, config::FieldKind::Text, held);
  }
  if (!bytes.ends_with("\r\n")) return false;
  bytes.remove_suffix(2);
  for (std::string_view command : kPlainCommands) {
    if (bytes == command) return true;
  }
  if (Consume(bytes, "AT+CMGD=")) return bytes.size() == 1 && bytes[0] >= '1' && bytes[0] <= '6';
  if (Consume(bytes, "AT+CMGW=")) return InSmsField(bytes, config::FieldKind::Number, held);
  if (Consume(bytes, "AT+CPBW=,")) return IsEntryWrite(bytes, held);
  // An erase names a location by its number, never by the device's text.
  if (Consume(bytes, "AT+CPBW=")) {
    return !bytes.empty() && std::all_of(bytes.begin(), bytes.end(), IsDigit);
  }
  if (Consume(bytes, "AT+CPBR=")) return IsShortListing(bytes, deviceNumbers);
  return false;
}

bool IsFinalResult(std::string_view line) {
  return line == "OK" || line == "ERROR" || line.starts_with("+CME ERROR:") ||
         line.starts_with("+CMS ERROR:");
}

bool IsInformationOf(std::string_view command, std::string_view line) {
  // "AT+CPBR=1,100" is answered by "+CPBR:", "AT+CSQ" by "+CSQ:".
  if (!command.starts_with("AT+")) return false;
  const std::string_view name = command.substr(2, command.find_first_of("=?") - 2);
  return line.starts_with(name) && line.substr(name.size()).starts_with(":");
}

bool MeansEmpty(std::string_view result) {
  return result == "+CMS ERROR: 321" || result == "+CME ERROR: 22";
}

bool SilenceIsReported(std::string_view command) {
  return command == "AT+CSCA?" ||
         StartsWithAny(command, {"AT+CPBW=", "AT+CMGD=", "AT+CMGW=", "AT+CMGL="});
}

bool RefusalIsReported(std::string_view command) {
  return SilenceIsReported(command) || command.starts_with("AT+CPBR=");
}

std::string Shown(std::string_view bytes) {
  std::string shown;
  for (char c : bytes) {
    const auto code = static_cast<unsigned char>(c);
    if (code >= 32 && code < 127) {
      shown += c;
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", code);
      shown += escaped;
    }
  }
  return shown;
}

}  // namespace fuzz
