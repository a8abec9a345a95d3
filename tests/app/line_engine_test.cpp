// The line engine on the real window: characters to lines, the monitor echo,
// the order of the classification rules, the prompt test, and a reply that
// breaks a number.
#include <QLineEdit>
#include <QTreeWidget>

#include "form_on_pty.h"

namespace morvel::test {
namespace {

class LineEngine : public FormOnPty {};

TEST_F(LineEngine, FirstCommandSwitchesEchoOff) {
  EXPECT_EQ(firstCommand_, "ATE\r\n");
  EXPECT_EQ(State().StartComNumber, 7);
  EXPECT_TRUE(State().CentreAsked);
  EXPECT_FALSE(State().DeviceReady);
}

struct Framing {
  const char* what;
  std::string bytes;
  QStringList lines;
  bool ready;
};

TEST_F(LineEngine, FramesLinesAndEchoesEachOnce) {
  const Framing cases[] = {
      {"usual reply: empty line first", "\r\nOK\r\n", {"", "OK"}, true},
      {"lone line feed ends nothing", "O\nK\r", {"OK"}, true},
      {"control characters and code 0 dropped",
       std::string("x\ty\x1a\0z\x1f\r", 8),
       {"xyz"},
       false},
      {"8-bit characters kept",
       "\xC8"
       "a\xFF\r",
       {QString::fromLatin1("\xC8"
                            "a\xFF")},
       false},
      {"OK with blanks or in small letters", " OK\rOK \rok\r", {" OK", "OK ", "ok"}, false},
  };
  for (const Framing& c : cases) {
    SCOPED_TRACE(c.what);
    form_->Monitor->clear();
    State().DeviceReady = false;
    Device(c.bytes);
    EXPECT_EQ(MonitorLines(), c.lines);
    EXPECT_EQ(State().DeviceReady, c.ready);
    EXPECT_TRUE(State().ReplyLine.empty());
  }
  EXPECT_EQ(SentAfterwards(), "");
}

TEST_F(LineEngine, AssemblesALineAcrossEvents) {
  pty_.Write("+CREG: 0");
  ASSERT_TRUE(Serve([&] { return State().ReplyLine == "+CREG: 0"; }));
  EXPECT_TRUE(LedLit());
  Device(",1\r\n");
  EXPECT_EQ(MonitorLines(), QStringList{"+CREG: 0,1"});
  EXPECT_EQ(form_->Gauge1->Progress(), 27);
}

TEST_F(LineEngine, TriesTheRulesInOrder) {
  // A name holding +CSCA is a centre reply, not an entry.
  Device("+CPBR: 5,\"+431\",145,\"x+CSCA\"\r\n");
  EXPECT_EQ(form_->SMSCentrum->text(), "+431");
  EXPECT_EQ(form_->TreeView1->topLevelItemCount(), 0);
}

TEST_F(LineEngine, AnOkAdvancesTheChainBeforeItAsksForTheCentre) {
  State().SmsDeletePending = true;
  State().StepIndex = 3;
  State().CentreAsked = false;
  Device("\r\nOK\r\n");
  EXPECT_EQ(SentThrough("AT+CSCA?\r\n"), "AT+CMGD=4\r\nAT+CSCA?\r\n");
}

TEST_F(LineEngine, PromptSendsTheSlotTextOnlyWhenTheLineIsExactlyThePrompt) {
  form_->SMSText2->setText("Hi");
  State().StepIndex = 2;
  pty_.Write("\r\n> ");
  EXPECT_EQ(SentThrough("\x1a"), "Hi\x1a");
  Device(" \r\n");  // ends the prompt's line
  Device("x> \r\n");
  // Left open, a prompt would take every later byte as message text.
  for (int32_t outsideTheSlots : {0, 7}) {
    State().StepIndex = outsideTheSlots;
    Device("> \r\n");
  }
  EXPECT_EQ(SentAfterwards(), "\x1b\x1b");
  EXPECT_EQ(MonitorLines(), (QStringList{"", ">  ", "x> ", "> ", "> "}));
}

TEST_F(LineEngine, ACountOfZeroLightsTheIndicatorAndReadsNothing) {
  pty_.Write("OK\r");
  form_->SerComPort1TriggerAvail(form_->SerComPort1, 0);
  EXPECT_TRUE(LedLit());
  EXPECT_TRUE(State().ReplyLine.empty());
  Tick();
  EXPECT_FALSE(LedLit());
  Device("\n");
  ASSERT_TRUE(Serve([&] { return State().DeviceReady; }));
}

TEST_F(LineEngine, ABrokenNumberEndsTheHandlerAndLeavesTheRestForLater) {
  pty_.Write("+CSQ: x,99\r\nOK\r\n");
  ASSERT_TRUE(Serve([&] { return !reports_.Reports().empty(); }));
  EXPECT_EQ(reports_.Reports().front(),
            (std::pair<std::string, std::string>{"Morvel", "'x' is not a valid integer value."}));
  EXPECT_EQ(MonitorLines(), QStringList{"+CSQ: x,99"});
  EXPECT_EQ(State().ReplyLine, " x,99");
  EXPECT_FALSE(State().DeviceReady);
  // The untaken characters come first in the next event; the reply after
  // the rest is handled as if the broken one had ended cleanly.
  Device("\r\n");
  EXPECT_EQ(MonitorLines(), (QStringList{"+CSQ: x,99", " x,99OK", ""}));
  EXPECT_EQ(reports_.Reports().size(), 1u);
  EXPECT_TRUE(State().DeviceReady);
}

TEST_F(LineEngine, AReplyItsHandlerCannotReadDoesNotBlockTheLinesAfterIt) {
  // Still holding its prefix, the kept rest would match the same rule again.
  State().CentreAsked = false;
  pty_.Write("+CAMM: 000100\r\n");
  ASSERT_TRUE(Serve([&] { return !reports_.Reports().empty(); }));
  Device("OK\r\n\r\n+CREG: 0,1\r\n");
  EXPECT_EQ(MonitorLines(), (QStringList{"+CAMM: 000100", "+CAMM: 000100OK", "", "+CREG: 0,1"}));
  EXPECT_EQ(reports_.Reports().size(), 1u);
  EXPECT_EQ(form_->Gauge1->Progress(), 27);
  EXPECT_EQ(SentThrough("AT+COPS?\r\n"), "AT+CSCA?\r\nAT+COPS?\r\n");
}

TEST_F(LineEngine, AnEchoedCommandFailsOnceAndTheReplyAfterItIsHandled) {
  // Echo on: the device repeats the command line before its reply.
  pty_.Write("AT+CSQ\r\r\n+CSQ: 17,99\r\n\r\nOK\r\n");
  ASSERT_TRUE(Serve([&] { return !reports_.Reports().empty(); }));
  Device("\r\n");
  EXPECT_EQ(reports_.Reports(), (std::vector<std::pair<std::string, std::string>>{
                                    {"Morvel", "'' is not a valid integer value."}}));
  EXPECT_EQ(form_->Smeter->Progress(), 17);
  EXPECT_TRUE(State().DeviceReady);
}

}  // namespace
}  // namespace morvel::test
