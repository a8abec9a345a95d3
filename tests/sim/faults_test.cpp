// Fault injection as a client meets it: fragments, delays, silence, errors,
// unsolicited lines and hang-ups; asserted by order and content.
#include <gtest/gtest.h>

#include "sim_process.h"

namespace kestrix::test {
namespace {

const std::string kSample = std::string(KESTRIX_SOURCE_DIR) + "/sample-state.json";

TEST(Faults, SplitRepliesArriveInFragmentsButWhole) {
  SimProcess sim({"--split-at", "3,8", "--fragment-gap", "150"});
  sim.Command("ATE0");
  sim.Send("AT+CSQ\r");
  // The first fragment ends after byte 3; the rest comes only after a gap.
  EXPECT_EQ(sim.ReadUntil("\r\n+"), "\r\n+");
  EXPECT_EQ(sim.ReadQuiet(std::chrono::milliseconds(30)), "") << "second fragment still held";
  EXPECT_EQ(sim.ReadUntil("OK\r\n"), "CSQ: 21,99\r\n\r\nOK\r\n");
}

TEST(Faults, RandomSplitsKeepEveryByteInOrder) {
  SimProcess sim({"--split-random", "7", "--fragment-gap", "1"});
  sim.Command("ATE0");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(sim.Command("AT+CGMM"), "\r\nKestrix\r\n\r\nOK\r\n");
}

TEST(Faults, DelayedReplyComesAfterTheDelayNotBefore) {
  SimProcess sim({"--delay", "300"});
  sim.Send("ATE0\r");
  EXPECT_EQ(sim.ReadQuiet(std::chrono::milliseconds(50)), "ATE0\r") << "the echo is not delayed";
  EXPECT_EQ(sim.ReadUntil("OK\r\n"), "\r\nOK\r\n");
}

TEST(Faults, IgnoredCommandGetsNoAnswerOthersDo) {
  TempDir dir;
  SimProcess sim({"--ignore", "+CSQ", "--fail", "at+cops", "--log", dir.File("log")});
  sim.Command("ATE0");
  sim.Send("AT+CSQ\r");
  EXPECT_EQ(sim.Command("AT+CREG?"), "\r\n+CREG: 0,1\r\n\r\nOK\r\n")
      << "nothing for +CSQ before it";
  EXPECT_EQ(sim.Command("AT+COPS?"), "\r\nERROR\r\n");
  EXPECT_NE(dir.Read("log").find(" AT+CSQ\\r\n"), std::string::npos) << "received, logged";
}

TEST(Faults, UnsolicitedLinesFollowTheGivenCommand) {
  SimProcess sim({"--unsolicited", "2:RING", "--unsolicited", "3:+CMTI: \"SM\",5"});
  sim.Command("ATE0");
  // Each line comes after the reply that precedes it, never inside it.
  std::string second = sim.Command("AT");
  if (second.find("RING") == std::string::npos) second += sim.ReadUntil("RING\r\n");
  EXPECT_EQ(second, "\r\nOK\r\n\r\nRING\r\n");
  std::string third = sim.Command("AT");
  if (third.find("CMTI") == std::string::npos) third += sim.ReadUntil("5\r\n");
  EXPECT_EQ(third, "\r\nOK\r\n\r\n+CMTI: \"SM\",5\r\n");
}

TEST(Faults, LostAnswersAreLostOnceAndTheirCommandsStillRun) {
  SimProcess sim({"--state", kSample, "--cmee", "1", "--lose", "+CMGD=2", "--lose", "AT+CSQ"});
  const std::vector<Step> steps = {
      {"ATE0\r", "ATE0\r\r\nOK\r\n"},
      {"AT+CMGD=1\r", "\r\nOK\r\n"},
      {"AT+CMGD=2\r", ""},
      {"AT+CGMI;+CSQ\r", ""},                      // any line holding the command
      {"AT+CMGR=2\r", "\r\n+CMS ERROR: 321\r\n"},  // deleted all the same
      {"AT+CMGD=2\r", "\r\nOK\r\n"},
      {"AT+CSQ\r", "\r\n+CSQ: 21,99\r\n\r\nOK\r\n"},
  };
  EXPECT_EQ(sim.Play(steps), Expected(steps));
}

TEST(Faults, LinesAndMessagesArriveAfterTheChosenCommandOnce) {
  SimProcess sim({"--state", kSample, "--unsolicited-at", "+CSQ:+CREG: 1,5", "--incoming-at",
                  "+CMGD=1", "--incoming-at", "at+cpbr:+43123:Hi: there"});
  const std::string ok = "\r\nOK\r\n";
  const std::vector<Step> steps = {
      {"ATE0\r", "ATE0\r" + ok},
      {"AT+CSQ\r", "\r\n+CSQ: 21,99\r\n" + ok + "\r\n+CREG: 1,5\r\n"},
      {"AT+CSQ\r", "\r\n+CSQ: 21,99\r\n" + ok},
      // The freed index is the lowest free one: the message takes it.
      {"AT+CMGD=1\r", ok + "\r\n+CMTI: \"SM\",1\r\n"},
      {"AT+CPBR=9\r", ok + "\r\n+CMTI: \"SM\",3\r\n"},
      {"AT+CMGD=4;+CPBR=9\r", ok},
      {"AT+CMGW=\"+4399\"\r", "\r\n> "},
      {"mine\x1A", "\r\n+CMGW: 4\r\n" + ok},
  };
  EXPECT_EQ(sim.Play(steps), Expected(steps));
  std::string unread = sim.Command("AT+CMGL=\"REC UNREAD\"");
  EXPECT_NE(unread.find("+CMGL: 1,\"REC UNREAD\",\"+436609999999\",,\""), std::string::npos)
      << unread;
  EXPECT_NE(unread.find("\r\nIncoming message\r\n\r\n+CMGL: 3,\"REC UNREAD\",\"+43123\",,\""),
            std::string::npos)
      << unread;
  EXPECT_NE(unread.find("\r\nHi: there\r\n\r\nOK\r\n"), std::string::npos) << unread;
}

TEST(Faults, HangUpAfterNCommandsEndsTheDeviceAndKeepsItsState) {
  TempDir dir;
  SimProcess sim({"--hangup-after", "2", "--save-state", dir.File("out.json")});
  sim.Command("ATE0");
  EXPECT_EQ(sim.Command("AT+CPBW=1,\"5\",129,\"x\""), "\r\nOK\r\n") << "the last reply still comes";
  EXPECT_EQ(sim.ExitCode(), 0);
  EXPECT_EQ(sim.ReadUntil("never", std::chrono::milliseconds(500)), "") << "line is dead";
  EXPECT_NE(dir.Read("out.json").find("\"number\": \"5\""), std::string::npos);
  EXPECT_NE(sim.Stderr().find("hung up"), std::string::npos);
}

TEST(Faults, StateFileFaultsApplyAndFlagsReplaceThem) {
  TempDir dir;
  dir.Write("f.json", R"({"faults": {"fail": ["+CSQ"], "ignore": ["+CGMI"]}})");
  SimProcess fromFile({"--state", dir.File("f.json")});
  fromFile.Command("ATE0");
  EXPECT_EQ(fromFile.Command("AT+CSQ"), "\r\nERROR\r\n");
  SimProcess overridden({"--state", dir.File("f.json"), "--fail", "+CGMM"});
  overridden.Command("ATE0");
  EXPECT_EQ(overridden.Command("AT+CSQ"), "\r\n+CSQ: 21,99\r\n\r\nOK\r\n");
  EXPECT_EQ(overridden.Command("AT+CGMM"), "\r\nERROR\r\n");
}

TEST(Pacing, PacedOutputIsCompleteAndInOrder) {
  SimProcess sim({"--baud", "9600"});
  sim.Command("ATE0");
  std::string listing = sim.Command("AT+CPBR=?;+CSQ;+CGMM;+CGMI");
  EXPECT_EQ(
      listing,
      "\r\n+CPBR: (1-250),20,14\r\n\r\n+CSQ: 21,99\r\n\r\nKestrix\r\n\r\nMorvel\r\n\r\nOK\r\n");
}

}  // namespace
}  // namespace kestrix::test
