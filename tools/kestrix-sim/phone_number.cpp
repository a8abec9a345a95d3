#include "phone_number.h"

namespace kestrix {

NumberCheck CheckNumber(const std::string& number, std::size_t maxDigits) {
  std::size_t digits = 0;
  for (std::size_t i = 0; i < number.size(); ++i) {
    char ch = number[i];
    if (ch == '+' && i == 0) continue;
    if (!((ch >= '0' && ch <= '9') || ch == '*' || ch == '#'))
      return NumberCheck::kInvalidCharacter;
    ++digits;
  }
  return digits > maxDigits ? NumberCheck::kTooLong : NumberCheck::kValid;
}

}  // namespace kestrix
