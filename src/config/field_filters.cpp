#include "config/field_filters.h"

#include <algorithm>
#include <array>

namespace config {

namespace {

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

constexpr std::string_view kSMSCharacters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ./-+,[]() !?><%0123456789";

constexpr std::array<bool, 256> MakeSMSTable() {
  std::array<bool, 256> table{};
  for (char c : kSMSCharacters) table[static_cast<unsigned char>(c)] = true;
  return table;
}

constexpr std::array<bool, 256> kSMSAllowed = MakeSMSTable();

}  // namespace

std::string FilterPhone(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.size() == 1) return "+";
  std::size_t plus = text.find('+');
  if (plus != std::string_view::npos && plus >= 1) return "+";
  if (text.size() > 1) {
    // The first character is never examined: "a123" stays.
    std::size_t end = 1;
    while (end < text.size() && IsDigit(text[end])) ++end;
    text = text.substr(0, end);
  }
  return std::string(text.substr(0, kMaxPhoneLength));
}

std::string FilterSMSText(std::string_view text) {
  std::size_t end = 0;
  while (end < text.size() && kSMSAllowed[static_cast<unsigned char>(text[end])]) ++end;
  return std::string(text.substr(0, std::min(end, kMaxSMSTextLength)));
}

}  // namespace config
