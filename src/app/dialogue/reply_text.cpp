#include "app/dialogue/reply_text.h"

#include <limits>

#include "runtime/convert_error.h"

namespace {

// The digit's value, or -1; no locale involved, so 8-bit bytes are never digits.
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

void CutThrough(std::string& line, char separator) {
  std::string::size_type at = line.find(separator);
  if (at != std::string::npos) line.erase(0, at + 1);
}

std::string TextBefore(const std::string& line, char separator) {
  std::string::size_type at = line.find(separator);
  return at == std::string::npos ? std::string() : line.substr(0, at);
}

std::string Trimmed(const std::string& text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::string::size_type first = 0;
  std::string::size_type last = text.size();
  while (first < last && blank(text[first])) ++first;
  while (last > first && blank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

int32_t ToInteger(const std::string& text) {
  if (text.empty() || text[0] != '$') return StrToInt(text);
  // Hexadecimal is a 32-bit pattern: "$FFFFFFFF" is -1.
  uint64_t value = 0;
  bool valid = text.size() > 1;
  for (std::string::size_type i = 1; valid && i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    valid = digit >= 0 && (value = value * 16 + static_cast<unsigned>(digit)) <= 0xFFFFFFFFu;
  }
  if (!valid) throw EConvertError("'" + text + "' is not a valid integer value");
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::string DecimalText(int64_t value) {
  return std::to_string(value);
}

int32_t NextIndex(int32_t value) {
  return value < std::numeric_limits<int32_t>::max() ? value + 1 : value;
}
