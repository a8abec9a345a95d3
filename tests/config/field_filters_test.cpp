// The number and text filters as a field shows them: after one pass, and
// after the nested passes of the change handler until the text is stable.
#include "config/field_filters.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using config::FilterPhone;
using config::FilterSMSText;

// What the field ends up holding: the handler runs again on every text it
// sets until the filter returns its input.
std::string SettledPhone(const std::string& text) {
  std::string now = FilterPhone(text);
  for (std::string next = FilterPhone(now); next != now; next = FilterPhone(now)) now = next;
  return now;
}

// Typing `keys` one at a time at the end of an empty number field.
std::string TypedPhone(const std::string& keys) {
  std::string field;
  for (char key : keys) field = SettledPhone(field + key);
  return field;
}

TEST(FilterPhone, TypingIntoAnEmptyField) {
  struct Case {
    std::string keys;
    std::string field;
  };
  for (const Case& c : {
           Case{"4", "+"},                            // the digit is lost to the one-character rule
           Case{"4421", "+421"},                      // so the first key only makes the "+"
           Case{"+421", "+421"},                      // the way a number is meant to be typed
           Case{" ", ""},                             // a blank into an empty field is trimmed
           Case{"+4 21", "+421"},                     // and so is one at the end of a number
           Case{"+12345678901234", "+123456789012"},  // the 14th character is dropped
       }) {
    EXPECT_EQ(TypedPhone(c.keys), c.field) << c.keys;
  }
}

TEST(FilterPhone, PastedOrSetTexts) {
  struct Case {
    std::string text;
    std::string onePass;
    std::string settled;
  };
  for (const Case& c : {
           Case{"", "", ""},
           Case{"4+5", "+", "+"},          // a "+" after the first position resets
           Case{"+4+5", "+4", "+4"},       // the first "+" is at position 1: a cut
           Case{"7+421", "+", "+"},        // typed in front of the "+"
           Case{" +421", "+421", "+421"},  // a space there is trimmed
           Case{"0903 123 456", "0903", "0903"},
           Case{"a123", "a123", "a123"},  // the first character is not examined
           Case{"ab", "a", "+"},
           Case{"5a", "5", "+"},
           Case{"+1234567890123456", "+123456789012", "+123456789012"},
           Case{"+42a1", "+42", "+42"},  // a letter in the middle cuts there
           Case{"  +421  ", "+421", "+421"},
           Case{"\t\r\n+421\x01\x1a", "+421", "+421"},  // control bytes trim like blanks
           Case{"\35112", "\35112", "\35112"},          // 8-bit (octal 351) first: kept
           Case{"+\xe9", "+", "+"},
       }) {
    EXPECT_EQ(FilterPhone(c.text), c.onePass) << c.text;
    EXPECT_EQ(SettledPhone(c.text), c.settled) << c.text;
  }
}

TEST(FilterSMSText, CutsAtTheFirstRefusedCharacterAndAt40) {
  std::string allowed =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ./-+,[]() !?><%0123456789";
  struct Case {
    std::string text;
    std::string result;
  };
  for (const Case& c : {
           Case{"", ""},
           Case{"Hello:World", "Hello"},
           Case{"\"quoted\"", ""},
           Case{"  hi  ", "  hi  "},
           Case{std::string(41, 'x'), std::string(40, 'x')},
           Case{allowed, allowed.substr(0, 40)},
           Case{allowed.substr(37), allowed.substr(37)},
       }) {
    EXPECT_EQ(FilterSMSText(c.text), c.result) << c.text;
  }
  // Exactly the 77 characters pass, each on its own.
  int passed = 0;
  for (int byte = 0; byte < 256; ++byte) {
    std::string one(1, static_cast<char>(byte));
    std::string result = FilterSMSText("a" + one + "b");
    EXPECT_TRUE(result == "a" || result == "a" + one + "b") << byte;
    if (result.size() == 3) {
      ++passed;
      EXPECT_NE(allowed.find(one), std::string::npos) << byte;
    }
  }
  EXPECT_EQ(passed, 77);
}

}  // namespace
