#include "line_engine/invariants.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace fuzz {
namespace {

using config::ConfigField;
using config::ConfigTexts;

constexpr std::array<std::string_view, 10> kPlainCommands{
    "ATE",      "AT",       "AT+CREG?",      "AT+CSQ",   "AT+COPS?",
    "AT+CAMM?", "AT+CACM?", "AT+CPBR=1,100", "AT+CSCA?", "AT+CMGL=ALL",
};
// The phonebook tags written back, in the order of the fields MASTER1 to SERVICE.
constexpr std::array<std::string_view, 9> kWrittenTags{
    "MASTER1", "MASTER2", "MASTER3", "MASTER4", "MASTER5",
    "MASTER6", "MASTER7", "MASTER8", "SERVICE",
};
// The phonebook's writing steps 0 to 9 and the one that ends them; the SMS
// steps stay below.
constexpr int32_t kLastStep = 10;
constexpr int32_t kMostLinkMisses = 10;
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

// The digit's value in `base` (10 or 16); -1 when it is none.
int DigitValue(char c, int base) {
  if (IsDigit(c)) return c - '0';
  if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsSmsField(ConfigField field) {
  return config::LineOf(field) >= config::LineOf(ConfigField::SMSPhone1);
}

// Whether one of the SMS slots' fields of `kind` holds exactly `text`.
bool InSmsField(std::string_view text, config::FieldKind kind, const ConfigTexts& fields) {
  for (std::size_t line = 0; line < fields.size(); ++line) {
    const ConfigField field = config::FieldAt(line);
    if (IsSmsField(field) && config::KindOf(field) == kind && fields[line] == text) return true;
  }
  return false;
}

// A phonebook write: the number of the tag's field, its type by its first
// character, the tag.
bool IsEntryWrite(std::string_view arguments, const ConfigTexts& fields) {
  for (std::size_t slot = 0; slot < kWrittenTags.size(); ++slot) {
    const std::string& number = fields[slot];
    if (number.empty()) continue;
    const std::string type = number.front() == '+' ? "145" : "129";
    if (arguments == number + "," + type + ",\"" + std::string(kWrittenTags[slot]) + "\"")
      return true;
  }
  return false;
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

// The value of the digits run from `at` in `base`; none when it does not fit
// in `limit`. Leading zeros count for nothing, as in the dialogue's reading.
std::optional<int64_t> RunValue(std::string_view line, std::size_t& at, int base, int64_t limit) {
  int64_t value = 0;
  bool fits = true;
  for (int digit; at < line.size() && (digit = DigitValue(line[at], base)) >= 0; ++at) {
    fits = fits && value <= (limit - digit) / base;
    if (fits) value = value * base + digit;
  }
  if (!fits) return std::nullopt;
  return value;
}

// Every number in the line the way the dialogue reads them: decimal with its
// sign, or "$" and 32 bits of hexadecimal.
void CollectNumbers(std::string_view line, std::set<int64_t>& numbers) {
  constexpr int64_t kLargestDecimal = int64_t{1} << 40;
  constexpr int64_t kLargestHex = 0xFFFFFFFF;
  for (std::size_t at = 0; at < line.size();) {
    if (line[at] == '$' && at + 1 < line.size() && DigitValue(line[at + 1], 16) >= 0) {
      ++at;
      if (std::optional<int64_t> value = RunValue(line, at, 16, kLargestHex))
        numbers.insert(static_cast<int32_t>(static_cast<uint32_t>(*value)));
    } else if (IsDigit(line[at])) {
      const bool negative = at > 0 && line[at - 1] == '-';
      if (std::optional<int64_t> value = RunValue(line, at, 10, kLargestDecimal))
        numbers.insert(negative ? -*value : *value);
    } else {
      ++at;
    }
  }
}

}  // namespace

bool IsDialogueCommand(std::string_view bytes, const ConfigTexts& fields) {
  if (bytes == kEscape) return true;
  if (bytes.ends_with(kCtrlZ)) {
    bytes.remove_suffix(1);
    return InSmsField(bytes, config::FieldKind::Text, fields);
  }
  if (!bytes.ends_with("\r\n")) return false;
  bytes.remove_suffix(2);
  for (std::string_view command : kPlainCommands) {
    if (bytes == command) return true;
  }
  if (Consume(bytes, "AT+CMGD=")) return bytes.size() == 1 && bytes[0] >= '1' && bytes[0] <= '6';
  if (Consume(bytes, "AT+CMGW=")) return InSmsField(bytes, config::FieldKind::Number, fields);
  if (Consume(bytes, "AT+CPBW=,")) return IsEntryWrite(bytes, fields);
  // An erase names a location by its number, never by the device's text.
  if (Consume(bytes, "AT+CPBW=")) {
    return !bytes.empty() && std::all_of(bytes.begin(), bytes.end(), IsDigit);
  }
  return false;
}

void LineEngineChecker::Written(std::string_view bytes, const ConfigTexts& fields) {
  if (!IsDialogueCommand(bytes, fields))
    Violation("not a command of the dialogue: " + Shown(bytes));
}

void LineEngineChecker::WrittenWithoutPort(std::string_view bytes) {
  Violation("written while no port is chosen: " + Shown(bytes));
}

void LineEngineChecker::Taken(char c) {
  handlingListedText_ = false;
  if (c == '\r') {
    LineEnded();
  } else if (static_cast<unsigned char>(c) >= 32) {
    line_ += c;
  }
}

void LineEngineChecker::LineEnded() {
  // The line after a listing's header is the message's text, whatever it
  // says. A header is known by its start: the sender's name inside it is the
  // sender's to choose.
  handlingListedText_ = lastWasHeader_;
  lastWasHeader_ = !handlingListedText_ && line_.starts_with("+CMGL");
  CollectNumbers(line_, deviceNumbers_);
  line_.clear();
}

void LineEngineChecker::PhonebookChanged(std::string_view text) {
  if (handlingListedText_) Violation("a listed SMS text reached the phonebook: " + Shown(text));
}

void LineEngineChecker::ActionDone() {
  handlingListedText_ = false;
  Settled();
}

void LineEngineChecker::Settled() {
  if (!state_) return;
  const int32_t step = state_->StepIndex;
  // A step of the dialogue's own, or an index the device gave, advanced by
  // at most an exchange's steps; never a count that wrapped.
  auto given = deviceNumbers_.upper_bound(step);
  const bool stepInRange =
      (step >= 0 && step <= kLastStep) ||
      (given != deviceNumbers_.begin() && *--given >= int64_t{step} - kLastStep);
  if (!stepInRange) Violation("StepIndex out of range: " + std::to_string(step));
  if (state_->LinkMissCount < 0 || state_->LinkMissCount > kMostLinkMisses)
    Violation("LinkMissCount out of range: " + std::to_string(state_->LinkMissCount));
}

}  // namespace fuzz
