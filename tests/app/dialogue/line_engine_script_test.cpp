// A line-engine script reads as it always did, with the modem's marks
// added: the seeds and findings kept from before mean what they meant.
#include <gtest/gtest.h>

#include "line_engine/script.h"

namespace {

using fuzz::Step;

struct Read {
  Step What;
  std::string Bytes;
  int Number;
  bool operator==(const Read&) const = default;
};

std::vector<Read> Actions(const std::string& input) {
  std::vector<Read> read;
  for (const fuzz::Action& action : fuzz::ReadScript(input).Actions)
    read.push_back({action.What, action.Bytes, action.Number});
  return read;
}

TEST(LineEngineScript, ReadsOldMarksAsBeforeAndTheModemsInTurn) {
  const std::pair<std::string, std::vector<Read>> cases[] = {
      // A click does not send the bytes before it; the next arrival does.
      {"OK\xFF"
       "B\r\n\xFF@",
       {{Step::LoadPhone, "", 0}, {Step::Arrive, "OK\r\n", 0}}},
      // Codes read modulo 16: 'Q' ticks, CR and ',' are arrivals.
      {"\xFFQ\xFF\r\xFF,", {{Step::Tick, "", 0}, {Step::Arrive, "", 0}, {Step::Arrive, "", 0}}},
      {"\xFFJ\x01\x02+4x", {{Step::TypeField, "+4", 1}, {Step::Arrive, "x", 0}}},
      {"\xFF\xFF", {{Step::Arrive, "\xFF", 0}}},
      // The modem answers after what the device sent before its mark.
      {"RING\xFFO\xFFN", {{Step::Arrive, "RING", 0}, {Step::Answer, "", 0}, {Step::Drop, "", 0}}},
      {"\xFFL\x0C\xFFR\x0D\xFFU\x01",
       {{Step::Late, "", 12}, {Step::Refuse, "", 13}, {Step::Unsolicited, "", 1}}},
      {"\xFFZ\xFFS2\xFFV\x07",
       {{Step::Restart, "", 0}, {Step::SimSize, "", '2'}, {Step::Registration, "", 7}}},
      // Cut short: the missing byte reads as 0.
      {"\xFFL", {{Step::Late, "", 0}}},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(Actions(input), expected) << input;
  EXPECT_FALSE(fuzz::ReadScript("\xFFK\xFF@").PortChosen);
  EXPECT_TRUE(fuzz::ReadScript("x\xFFK").PortChosen);
}

}  // namespace
