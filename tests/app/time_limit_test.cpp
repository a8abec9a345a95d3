// A device that loses an answer or restarts in the middle of an exchange:
// the exchange is cut short and said as for a device that went away, the
// line is found again, and the buttons act once the device answers.
#include <QLineEdit>
#include <QPushButton>

#include "form_on_pty.h"

namespace morvel::test {
namespace {

// The window sends `sent` (after a press, when one is named), then the
// device answers it with `answer`.
struct Turn {
  QPushButton* TForm1::*press;
  std::string sent;
  std::string answer;
};
struct LostAnswer {
  const char* what;
  std::vector<Turn> before;  // up to the command left unanswered
  int ticks;                 // waited for its answer
  std::string told;
  std::vector<Turn> after;  // finding the line again
};
void PrintTo(const LostAnswer& lost, std::ostream* out) {
  *out << lost.what;
}

std::vector<LostAnswer> LostAnswers() {
  const std::string numbersKept =
      "; the fields still hold the numbers: press Save PBook again once it answers again.";
  return {
      {"a deletion",
       {{&TForm1::ButtonDeleteSMS, "AT+CMGD=1\r\n", kOk},
        {nullptr, "AT+CMGD=2\r\n", kOk},
        {nullptr, "AT+CMGD=3\r\n", ""}},
       11,
       "The Kestrix on COM7 did not answer AT+CMGD=3 within 10 seconds. Delele SMSs was cut short "
       "after deleting 2 of the 6 messages: press Delele SMSs again once it answers again.",
       {{nullptr, "AT\r\n", kOk}}},
      {"a store's report, after its text",
       {{&TForm1::ButtonSaveSMS, "AT+CMGD=1\r\n", kOk},
        {nullptr, "AT+CMGD=2\r\n", kOk},
        {nullptr, "AT+CMGD=3\r\n", kOk},
        {nullptr, "AT+CMGD=4\r\n", kOk},
        {nullptr, "AT+CMGD=5\r\n", kOk},
        {nullptr, "AT+CMGD=6\r\n", kOk},
        {nullptr, "AT+CMGW=+431\r\n", "\r\n> "},
        {nullptr, "one\x1a", ""}},
       11,
       "The Kestrix on COM7 did not answer AT+CMGW=+431 within 10 seconds. Save SMSs was cut "
       "short after storing 0 of the 6 messages; the fields still hold the messages: press Save "
       "SMSs again once it answers again.",
       // A prompt may still be open: cancelled first.
       {{nullptr, "\x1b", kOk}, {nullptr, "AT\r\n", kOk}}},
      {"a restart while a number is written",
       {{&TForm1::SavePhone, "AT\r\n", kOk},
        {nullptr, "AT+CPBW=,+431,145,\"MASTER1\"\r\n", "\r\nRDY\r\n"}},
       0,
       "The Kestrix on COM7 restarted. Save PBook was cut short after writing 0 of the 9 numbers" +
           numbersKept,
       // Echo off and text mode again, then the locations learnt anew.
       {{nullptr, "ATE\r\n", "ATE\r\r\nOK\r\n"},
        {nullptr, "AT+CMGF=1\r\n", kOk},
        {nullptr, "AT+CPBR=1,100\r\n", "\r\n+CPBR: 4,\"+431\",145,\"MASTER1\"\r\n" + kOk}}},
  };
}

class TimeLimit : public FormOnPty, public testing::WithParamInterface<LostAnswer> {
 protected:
  TimeLimit() {
    form_->SetDialogueButtonsEnabled(true);
    form_->MASTER1->setText("+431");
    form_->SMSPhone1->setText("+431");
    form_->SMSText1->setText("one");
  }

  void Play(const std::vector<Turn>& turns) {
    for (const Turn& turn : turns) {
      if (turn.press) (form_.get()->*turn.press)->click();
      ASSERT_EQ(SentThrough(turn.sent), turn.sent) << GetParam().what;
      if (!turn.answer.empty()) Device(turn.answer);
    }
  }
};

TEST_P(TimeLimit, CutsTheExchangeShortFindsTheLineAgainAndFreesTheButtons) {
  const LostAnswer& lost = GetParam();
  Play(lost.before);
  if (lost.ticks > 0) {
    // Nothing before the time limit.
    Tick(lost.ticks - 1);
    EXPECT_EQ(SentAfterwards(), "");
    Tick();
  }
  ASSERT_TRUE(Serve([&] { return !reports_.Reports().empty(); }));
  EXPECT_EQ(reports_.Reports(),
            (std::vector<std::pair<std::string, std::string>>{{"Morvel", lost.told}}));
  Play(lost.after);
  EXPECT_EQ(form_->MASTER1->text(), "+431");
  EXPECT_FALSE(form_->DeviceDialogue().ExchangeInProgress());
  form_->SetDialogueButtonsEnabled(true);  // the ticks ran the link bar down
  form_->ButtonLoadSMS->click();
  EXPECT_EQ(SentThrough("AT+CMGL=ALL\r\n"), "AT+CMGL=ALL\r\n");
}

INSTANTIATE_TEST_SUITE_P(Lost, TimeLimit, testing::ValuesIn(LostAnswers()), [](const auto& info) {
  std::string name = info.param.what;
  std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
  return name;
});

}  // namespace
}  // namespace morvel::test
