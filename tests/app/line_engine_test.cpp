// The line engine on the real window: the session set-up, characters to
// lines, the monitor echo, which command a line answers, and a reply that
// breaks a number.
#include <QLineEdit>
#include <QTreeWidget>

#include "form_on_pty.h"

namespace morvel::test {
namespace {

class LineEngine : public FormOnPty {
 protected:
  bool Answered() const { return State().Commands.InFlight() == nullptr; }
  const DialogueState& State() const { return form_->DeviceDialogue().State; }
  using FormOnPty::State;
};

TEST_F(LineEngine, TheSessionSwitchesEchoOffThenTextModeEachAfterTheAnswerBefore) {
  EXPECT_EQ(firstCommand_, "ATE\r\n");
  EXPECT_EQ(textMode_, "AT+CMGF=1\r\n");
  EXPECT_EQ(State().StartComNumber, 7);
  EXPECT_TRUE(State().CentreAsked);
  EXPECT_TRUE(State().DeviceReady);
  EXPECT_TRUE(Answered());
}

struct Framing {
  const char* what;
  std::string bytes;
  QStringList lines;
  bool answers;  // the registration query in flight
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
    if (Answered()) AskRegistration();
    form_->Monitor->clear();
    Device(c.bytes);
    EXPECT_EQ(MonitorLines(), c.lines);
    EXPECT_EQ(Answered(), c.answers);
    EXPECT_TRUE(State().ReplyLine.empty());
  }
}

TEST_F(LineEngine, AssemblesALineAcrossEvents) {
  AskRegistration();
  pty_.Write("+CREG: 0");
  ASSERT_TRUE(Serve([&] { return State().ReplyLine == "+CREG: 0"; }));
  EXPECT_TRUE(LedLit());
  Device(",1\r\n");
  EXPECT_EQ(MonitorLines().back(), "+CREG: 0,1");
  EXPECT_EQ(form_->Gauge1->Progress(), 27);
}

TEST_F(LineEngine, ALineChangesSomethingOnlyAsAnAnswerToTheCommandInFlight) {
  const std::string entry = "\r\n+CPBR: 5,\"+431\",145,\"x+CSCA\"\r\n";
  // Nothing in flight: shown only.
  Device(entry + "\r\n+CSCA: \"+4399\",145\r\n" + kOk + "\r\n+CREG: 0,1\r\n");
  EXPECT_EQ(form_->TreeView1->topLevelItemCount(), 0);
  EXPECT_EQ(form_->SMSCentrum->text(), "");
  EXPECT_EQ(form_->Gauge1->Progress(), 0);
  // A prompt nobody asked for is cancelled, and its answer awaited.
  Device("\r\n> ");
  EXPECT_EQ(SentThrough("\x1b"), "\x1b");
  Device(kOk);
  // While the phonebook is listed, its lines are entries, whatever their
  // name holds, and another query's reply is not one of them.
  form_->LoadPHONE->click();
  SentThrough("AT+CPBR=1,100\r\n");
  Device(entry + "\r\n+CSQ: 17,99\r\n+CREG: 0,1\r\n");
  EXPECT_EQ(form_->TreeView1->topLevelItemCount(), 1);
  EXPECT_EQ(form_->SMSCentrum->text(), "");
  EXPECT_EQ(form_->Smeter->Progress(), 0);
  EXPECT_EQ(form_->Gauge1->Progress(), 0);
  EXPECT_TRUE(reports_.Reports().empty());
}

TEST_F(LineEngine, ACountOfZeroLightsTheIndicatorAndReadsNothing) {
  AskRegistration();
  pty_.Write("OK\r");
  form_->SerComPort1TriggerAvail(form_->SerComPort1, 0);
  EXPECT_TRUE(LedLit());
  EXPECT_TRUE(State().ReplyLine.empty());
  Tick();
  EXPECT_FALSE(LedLit());
  Device("\n");
  ASSERT_TRUE(Serve([&] { return Answered(); }));
}

TEST_F(LineEngine, ABrokenNumberIsReportedAndTheRestOfTheDeliveryReadAtOnce) {
  // The rest of the broken line joins the next one on the monitor; only
  // what follows it is a reply, here the final result the query waits for.
  const std::tuple<const char*, const char*, QStringList> cases[] = {
      {"+CSQ: x,99", "'x' is not a valid integer value.", {"+CSQ: x,99", " x,99OK"}},
      {"+CAMM: 000100", "'$' is not a valid integer value.", {"+CAMM: 000100", "+CAMM: 000100OK"}},
  };
  for (const auto& [line, report, monitor] : cases) {
    SCOPED_TRACE(line);
    const size_t before = reports_.Reports().size();
    const bool signal = std::string(line).starts_with("+CSQ");
    State().OperatorName = signal ? "\"Kestrix Net\"" : "";
    AskRegistration();
    Device("\r\n+CREG: 0,1\r\n" + kOk);
    if (!signal) Answer("AT+COPS?\r\n", "\r\n+COPS: 0,0,\"Kestrix Net\"\r\n" + kOk);
    SentThrough(signal ? "AT+CSQ\r\n" : "AT+CAMM?\r\n");
    form_->Monitor->clear();
    pty_.Write(std::string(line) + "\r\nOK\r\n");
    ASSERT_TRUE(Serve([&] { return Answered(); }));
    ASSERT_EQ(reports_.Reports().size(), before + 1);
    EXPECT_EQ(reports_.Reports().back().second, report);
    EXPECT_EQ(MonitorLines(), monitor);
  }
}

}  // namespace
}  // namespace morvel::test
