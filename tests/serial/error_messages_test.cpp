// The message table and ErrorMessageText: lookup by magnitude, 16-bit codes,
// the 255-character cut, and the platform's texts for what the table lacks.
#include "serial/error_messages.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <thread>
#include <vector>

#include "platform/errors.h"
#include "serial/message_table.h"

namespace ser {
namespace {

std::string RawPlatformText(DWORD number) {
  char buffer[256] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, number, 0, buffer, 255, nullptr);
  return std::string(buffer, length);
}

bool IsSingleLine(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 32) return false;
  }
  return text.find("  ") == std::string::npos;
}

TEST(MessageTable, IsOrderedByMagnitudeWithoutDuplicates) {
  const auto table = MessageTable();
  ASSERT_FALSE(table.empty());
  for (std::size_t i = 1; i < table.size(); ++i) {
    EXPECT_LT(std::abs(table[i - 1].Code), std::abs(table[i].Code))
        << "entries " << table[i - 1].Code << " and " << table[i].Code;
  }
}

TEST(MessageTable, EveryTextFitsTheCutAndOnlyTheSubKindZeroLabelIsEmpty) {
  for (const TMessageEntry& entry : MessageTable()) {
    ASSERT_NE(entry.Text, nullptr) << entry.Code;
    EXPECT_LE(std::string(entry.Text).size(), kMaxMessageLength) << entry.Code;
    EXPECT_EQ(std::string(entry.Text).empty(), entry.Code == 15100) << entry.Code;
  }
}

TEST(ErrorMessageText, SignDoesNotMatter) {
  EXPECT_EQ(ErrorMessageText(-2001), "ie_BadId - Specified comport doesn't exist");
  EXPECT_EQ(ErrorMessageText(2001), "ie_BadId - Specified comport doesn't exist");
  EXPECT_EQ(ErrorMessageText(2), "File not found");
  EXPECT_EQ(ErrorMessageText(-2), "File not found");
  EXPECT_EQ(ErrorMessageText(0), "OK");
}

TEST(ErrorMessageText, FindsTheFirstLastAndInnerEntries) {
  // Bisection faults show at the ends and around gaps of the table.
  EXPECT_EQ(ErrorMessageText(-162), "General failure");
  EXPECT_EQ(ErrorMessageText(-150), "Disk is write-protected");
  EXPECT_EQ(ErrorMessageText(-105), "File/device not open for output");
  EXPECT_EQ(ErrorMessageText(-1001), "Bad handle passed to com function");
  EXPECT_EQ(ErrorMessageText(-2011), "The ComNumber property of the TSerComPort has not been set");
  EXPECT_EQ(ErrorMessageText(-3002), "Function not supported by driver");
  EXPECT_EQ(ErrorMessageText(-5003), "Bad trigger handle");
  EXPECT_EQ(ErrorMessageText(-6006), "Fatal time out");
  EXPECT_EQ(ErrorMessageText(15608), "DCD ");
  EXPECT_NE(ErrorMessageText(-2013).find("Permission denied"), std::string::npos);
}

TEST(ErrorMessageText, GivesTheDispatchLogLabels) {
  const std::array<const char*, 21> kinds = {
      "No event", "Dispatch", "Trigger",  "Error",  "Thread", "TrigAllc", "TrigDisp",
      "TrgHdAlc", "TrgHdDsp", "TrDatChg", "Telnet", "Fax",    "XModem",   "YModem",
      "ZModem",   "Kermit",   "Ascii",    "BPlus",  "Packet", "User",     "Script"};
  for (int kind = 0; kind < static_cast<int>(kinds.size()); ++kind) {
    EXPECT_EQ(ErrorMessageText(15001 + kind), kinds[kind]) << "kind " << kind;
  }
  const std::array<const char*, 19> subKinds = {
      "ReadCom", "WriteCom", "Line status", "Modem status", "Avail", "Timer", "Data",
      "Status",  "Start",    "Exit",        "Sleep",        "Wake",  "Data",  "Timer",
      "Status",  "Avail",    "Window",      "Procedure",    "Method"};
  for (int sub = 1; sub <= static_cast<int>(subKinds.size()); ++sub) {
    EXPECT_EQ(ErrorMessageText(15100 + sub), subKinds[sub - 1]) << "sub-kind " << sub;
  }
  EXPECT_EQ(ErrorMessageText(15501), "Time      Type      SubType       Data      OtherData");
  EXPECT_EQ(ErrorMessageText(15502), "--------  --------  ------------  --------  ---------");
  const std::array<const char*, 8> bits = {"DCTS ", "DDSR ", "TERI ", "DDCD ",
                                           "CTS ",  "DSR ",  "RI ",   "DCD "};
  for (int bit = 0; bit < 8; ++bit) EXPECT_EQ(ErrorMessageText(15601 + bit), bits[bit]);
}

TEST(ErrorMessageText, HandlesCodesAsSixteenBitValues) {
  EXPECT_EQ(ErrorMessageText(65536 - 2001), "ie_BadId - Specified comport doesn't exist");
  EXPECT_EQ(ErrorMessageText(65536 + 2), "File not found");
  EXPECT_EQ(ErrorMessageText(-65536 - 1002), "Bad argument passed to function");
  EXPECT_EQ(ErrorMessageText(0x10000), "OK");
  // -32768 has no 16-bit magnitude; it must neither overflow nor find entry 0.
  EXPECT_EQ(ErrorMessageText(-32768), SingleLineText(RawPlatformText(32768)));
  EXPECT_EQ(ErrorMessageText(INT32_MIN), "OK");
}

TEST(ErrorMessageText, CutsLongTextsTo255Characters) {
  const std::string exact(255, 'e');
  const std::string longer = std::string(255, 'a') + "TAIL";
  const std::array<TMessageEntry, 3> table = {
      {{0, "OK"}, {-7, exact.c_str()}, {-9, longer.c_str()}}};
  EXPECT_EQ(MessageTextIn(table, -7), exact);
  EXPECT_EQ(MessageTextIn(table, 9), std::string(255, 'a'));
}

TEST(ErrorMessageText, EmptyAndMissingEntriesFallBackToThePlatform) {
  const std::string platformTwo = RawPlatformText(2);
  ASSERT_FALSE(platformTwo.empty()) << "the platform should describe error 2";
  const std::array<TMessageEntry, 3> table = {{{0, "OK"}, {-2, ""}, {-5, "Five"}}};
  EXPECT_EQ(MessageTextIn(table, -2), SingleLineText(platformTwo));
  EXPECT_NE(MessageTextIn(table, -2), "File not found");
  // Missing between, before and after the table's entries.
  EXPECT_EQ(MessageTextIn(table, 3), SingleLineText(RawPlatformText(3)));
  EXPECT_EQ(MessageTextIn(table, 1), SingleLineText(RawPlatformText(1)));
  EXPECT_EQ(MessageTextIn(table, 31), SingleLineText(RawPlatformText(31)));
  EXPECT_EQ(MessageTextIn(std::span<const TMessageEntry>(), 5), SingleLineText(RawPlatformText(5)));
  EXPECT_EQ(MessageTextIn(table, 5), "Five");
}

TEST(ErrorMessageText, PlatformTextsComeOnOneLine) {
  // 31 is not in the table; the platform's text ends in a line break.
  const std::string raw = RawPlatformText(31);
  ASSERT_FALSE(raw.empty()) << "the platform should describe error 31";
  const std::string text = ErrorMessageText(-31);
  EXPECT_TRUE(IsSingleLine(text)) << text;
  EXPECT_EQ(text.back(), ' ') << "the trailing line break becomes one space";
  EXPECT_EQ(text.substr(0, text.size() - 1), raw.substr(0, raw.find_last_not_of("\r\n") + 1));
}

TEST(ErrorMessageText, EmptyWhenNeitherTableNorPlatformHasText) {
  // Sub-kind 0 has an empty label and the platform has nothing for 15100.
  ASSERT_TRUE(RawPlatformText(15100).empty());
  EXPECT_EQ(ErrorMessageText(15100), "");
  EXPECT_EQ(ErrorMessageText(15100 + 0x10000), "");
}

TEST(ErrorMessageText, AnswersTheDispatcherThreadsAtTheSameTime) {
  // The dispatch log looks labels up from the dispatcher's threads while the
  // user-interface thread raises exceptions.
  const std::vector<int> codes = {15002, 15105, 15100, -2011, -31, -7, 15604, 2};
  std::vector<std::string> expected;
  for (const int code : codes) expected.push_back(ErrorMessageText(code));
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < mismatches.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 200; ++round) {
        for (std::size_t i = 0; i < codes.size(); ++i) {
          if (ErrorMessageText(codes[i]) != expected[i]) ++mismatches[t];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const int count : mismatches) EXPECT_EQ(count, 0);
}

TEST(SingleLineText, TurnsControlCharactersIntoSingleSpaces) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"", ""},
      {"Plain text", "Plain text"},
      {"Ends in a break.\r\n", "Ends in a break. "},
      {"Two\r\nlines\r\n", "Two lines "},
      {"tab\there", "tab here"},
      {"many     spaces", "many spaces"},
      {"  lead and trail  ", " lead and trail "},
      {"\r\n\r\n", " "},
      {" \t \x01\x1f x", " x"},
      {std::string("nul\0inside", 10), "nul inside"},
      {"\x7f and \xe9\xff stay", "\x7f and \xe9\xff stay"},
  };
  for (const auto& c : cases) EXPECT_EQ(SingleLineText(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace ser
