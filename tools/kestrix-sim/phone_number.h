// What the device accepts as a phone number: digits, "*" and "#", with one
// "+" in front for an international number.
#pragma once

#include <string>

namespace kestrix {

enum class NumberCheck { kValid, kInvalidCharacter, kTooLong };

NumberCheck CheckNumber(const std::string& number, std::size_t maxDigits);

}  // namespace kestrix
