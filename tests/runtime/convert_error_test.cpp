// The framework's text-to-number conversion.
#include "runtime/convert_error.h"

#include <gtest/gtest.h>

namespace {

TEST(StrToInt, ReadsSignedDecimalText) {
  EXPECT_EQ(StrToInt("12"), 12);
  EXPECT_EQ(StrToInt("-7"), -7);
  EXPECT_EQ(StrToInt("+3"), 3);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
}

TEST(StrToInt, RefusesEverythingElseNamingTheText) {
  for (const char* text : {"", "+", "-", "+-1", "12a", " 1", "0x1F", "2147483648", "COM3"}) {
    try {
      StrToInt(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const EConvertError& error) {
      EXPECT_EQ(std::string(error.what()),
                "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

}  // namespace
