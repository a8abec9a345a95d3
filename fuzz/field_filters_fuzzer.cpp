// Checks both field filters on arbitrary 8-bit texts against a literal
// step-by-step model of each, and for what a field relies on: the limits,
// the allowed characters, the shape of a number, and a text that is stable
// after the change handler's nested pass.
#include <cstdint>
#include <string>

#include "config/field_filters.h"
#include "fuzz_support.h"

namespace {

using fuzz::Require;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

const std::string kSMSCharacters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ./-+,[]() !?><%0123456789";

// The number filter as its steps read, positions from 1.
std::string PhoneModel(std::string text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.erase(0, 1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.pop_back();
  if (text.size() == 1) text = "+";
  std::size_t plus = text.find('+');
  if (plus != std::string::npos && plus + 1 >= 2) text = "+";
  if (text.size() > 1) {
    for (std::size_t position = text.size(); position >= 2; --position) {
      if (!IsDigit(text[position - 1])) text.resize(position - 1);
    }
  }
  if (text.size() > 13) text.resize(13);
  return text;
}

// The text filter as its steps read.
std::string SMSModel(std::string text) {
  for (std::size_t position = text.size(); position >= 1; --position) {
    if (kSMSCharacters.find(text[position - 1]) == std::string::npos) text.resize(position - 1);
  }
  if (text.size() > 40) text.resize(40);
  return text;
}

void CheckPhone(const std::string& input) {
  std::string once = config::FilterPhone(input);
  Require(once == PhoneModel(input), "FilterPhone follows its steps");
  Require(once.size() <= config::kMaxPhoneLength, "a number is at most 13 characters");
  for (std::size_t i = 1; i < once.size(); ++i) {
    Require(IsDigit(once[i]), "only digits after the first character");
  }
  Require(once.empty() || static_cast<unsigned char>(once[0]) > 32, "no blank first character");

  std::string twice = config::FilterPhone(once);
  Require(once.size() == 1 || twice == once, "only a single character changes again");
  Require(config::FilterPhone(twice) == twice, "stable after the nested pass");
  Require(twice.empty() || twice == "+" || twice.size() >= 2,
          "a settled number is empty, \"+\", or a first character and digits");
}

void CheckSMSText(const std::string& input) {
  std::string once = config::FilterSMSText(input);
  Require(once == SMSModel(input), "FilterSMSText follows its steps");
  Require(once.size() <= config::kMaxSMSTextLength, "a text is at most 40 characters");
  Require(input.compare(0, once.size(), once) == 0, "a text is cut, never changed");
  for (char c : once) {
    Require(kSMSCharacters.find(c) != std::string::npos, "only the 77 characters");
  }
  Require(config::FilterSMSText(once) == once, "stable after one pass");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  CheckPhone(input);
  CheckSMSText(input);
  return 0;
}
