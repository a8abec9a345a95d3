#include "line_engine/invariants.h"

#include <optional>

namespace fuzz {
namespace {

// The phonebook's writing steps 0 to 9 and the one that ends them; the SMS
// steps stay below.
constexpr int32_t kLastStep = 10;
constexpr int32_t kMostLinkMisses = 10;

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
// sign and without (the end of a range "(1-50)"), or "$" and 32 bits of
// hexadecimal.
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
      if (std::optional<int64_t> value = RunValue(line, at, 10, kLargestDecimal)) {
        numbers.insert(*value);
        if (negative) numbers.insert(-*value);
      }
    } else {
      ++at;
    }
  }
}

}  // namespace

void LineEngineChecker::Written(std::string_view bytes, const FieldHistory& held) {
  if (!IsDialogueCommand(bytes, held, deviceNumbers_))
    Violation("not a command of the dialogue: " + Shown(bytes));
  answers_.Written(bytes);
}

void LineEngineChecker::WrittenWithoutPort(std::string_view bytes) {
  Violation("written while no port is chosen: " + Shown(bytes));
}

void LineEngineChecker::Taken(char c) {
  handlingListedText_ = false;
  if (c == '\r') {
    // The line after a listing's header is the message's text, whatever it
    // says.
    handlingListedText_ = answers_.ListedTextNext();
    answers_.LineEnded(line_);
    CollectNumbers(line_, deviceNumbers_);
    line_.clear();
  } else if (static_cast<unsigned char>(c) >= 32) {
    line_ += c;
    answers_.LineGrew(line_);
  }
}

void LineEngineChecker::PhonebookChanged(std::string_view text) {
  if (handlingListedText_) Violation("a listed SMS text reached the phonebook: " + Shown(text));
}

void LineEngineChecker::ActionDone() {
  handlingListedText_ = false;
  answers_.ActionDone();
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
