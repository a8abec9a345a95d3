// The text operations reply handlers take fields apart with.
#include "app/dialogue/reply_text.h"

#include <gtest/gtest.h>

#include "runtime/convert_error.h"

namespace {

TEST(ReplyText, CutsAndTakesFieldsAsTheSignalHandlerDoes) {
  std::string line = "+CSQ: 17,99";
  CutThrough(line, ':');
  EXPECT_EQ(line, " 17,99");
  EXPECT_EQ(TextBefore(line, ','), " 17");
  EXPECT_EQ(Trimmed(TextBefore(line, ',')), "17");
  CutThrough(line, '"');
  EXPECT_EQ(line, " 17,99");
  EXPECT_EQ(TextBefore(line, '"'), "");
  EXPECT_EQ(Trimmed(std::string("\t\x01 a b \x20\x1f")), "a b");
  EXPECT_EQ(Trimmed(std::string("\x80x\xA0")), "\x80x\xA0");
}

TEST(ReplyText, ReadsDecimalAndDollarHexadecimalIn32Bits) {
  const std::pair<const char*, int32_t> valid[] = {
      {"17", 17},
      {"-5", -5},
      {"+5", 5},
      {"0", 0},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"$FF", 255},
      {"$ff", 255},
      {"$000100", 256},
      {"$7FFFFFFF", INT32_MAX},
      {"$FFFFFFFF", -1},
      {"$0000000001", 1},
  };
  for (const auto& [text, value] : valid) EXPECT_EQ(ToInteger(text), value) << text;

  const char* invalid[] = {"",  " 17", "17 ",        "2147483648", "-2147483649", "-",   "+",
                           "$", "$G",  "$100000000", "0x10",       "1e3",         "$-1", "\xB9"};
  for (const char* text : invalid) {
    try {
      ToInteger(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const EConvertError& error) {
      EXPECT_EQ(error.what(), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
  EXPECT_EQ(DecimalText(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(NextIndex(INT32_MAX), INT32_MAX);
  EXPECT_EQ(NextIndex(-1), 0);
  EXPECT_EQ(DecimalText(192), "192");
}

}  // namespace
