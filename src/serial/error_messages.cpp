#include "serial/error_messages.h"

#include <algorithm>
#include <cstdint>

#include "platform/errors.h"

namespace ser {
namespace {

// Codes travel as 16-bit values, so 63535 and -2001 name the same text. The
// magnitude is taken after widening, so -32768 gives 32768, not an overflow.
int KeyOf(int code) {
  const int narrowed = static_cast<std::int16_t>(code);
  return narrowed < 0 ? -narrowed : narrowed;
}

int Magnitude(int code) {
  return code < 0 ? -code : code;
}

std::string PlatformText(int key) {
  char buffer[kMaxMessageLength] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, static_cast<DWORD>(key),
                                      0, buffer, sizeof buffer, nullptr);
  if (length == 0) return {};
  return SingleLineText(std::string(buffer, std::min<std::size_t>(length, sizeof buffer)));
}

}  // namespace

std::string SingleLineText(std::string text) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    const char shown = static_cast<unsigned char>(c) < 32 ? ' ' : c;
    if (shown == ' ' && !result.empty() && result.back() == ' ') continue;
    result.push_back(shown);
  }
  return result;
}

std::string MessageTextIn(std::span<const TMessageEntry> table, int code) {
  const int key = KeyOf(code);
  const auto found = std::lower_bound(
      table.begin(), table.end(), key,
      [](const TMessageEntry& entry, int wanted) { return Magnitude(entry.Code) < wanted; });
  if (found != table.end() && Magnitude(found->Code) == key && found->Text[0] != '\0') {
    return std::string(found->Text).substr(0, kMaxMessageLength);
  }
  return PlatformText(key);
}

std::string ErrorMessageText(int code) {
  return MessageTextIn(MessageTable(), code);
}

}  // namespace ser
