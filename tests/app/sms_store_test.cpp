// The SMS store exchange on the real window, the test playing the device:
// the exact bytes of Save, Delete and Load SMSs, the writing following the
// index the device reports, and what a listing puts into fields and memo.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <array>
#include <map>
#include <vector>

#include "form_on_pty.h"

namespace morvel::test {
namespace {

using Slots = std::map<int, std::pair<QString, QString>>;

class SmsStore : public FormOnPty {
 protected:
  SmsStore() {
    form_->SetDialogueButtonsEnabled(true);
    Device("\r\nOK\r\n");
  }

  QLineEdit* Phone(int slot) const {
    return std::array{form_->SMSPhone1, form_->SMSPhone2, form_->SMSPhone3,
                      form_->SMSPhone4, form_->SMSPhone5, form_->SMSPhone6}[slot - 1];
  }
  QLineEdit* Text(int slot) const {
    return std::array{form_->SMSText1, form_->SMSText2, form_->SMStext3,
                      form_->SMStext4, form_->SMStext5, form_->SMSText6}[slot - 1];
  }
  // The slots with anything in their number or text field.
  Slots Filled() const {
    Slots filled;
    for (int slot = 1; slot <= 6; ++slot)
      if (!Phone(slot)->text().isEmpty() || !Text(slot)->text().isEmpty())
        filled[slot] = {Phone(slot)->text(), Text(slot)->text()};
    return filled;
  }
  void Fill(const Slots& messages) {
    for (const auto& [slot, message] : messages) {
      Phone(slot)->setText(message.first);
      Text(slot)->setText(message.second);
    }
  }

  // The device answers; returns what the window sends back, through `last`.
  std::string Answer(const std::string& reply, const char* last = "\r\n") {
    Device(reply);
    return SentThrough(last);
  }
  std::string DeleteSix() {
    std::string sent = SentThrough("AT+CMGD=1\r\n");
    for (int i = 0; i < 6; ++i) sent += Answer("\r\nOK\r\n");
    return sent;
  }
  std::string Store(int reported) {
    const std::string text = Answer("\r\n> ", "\x1a");
    return text + Answer("\r\n+CMGW: " + std::to_string(reported) + "\r\n\r\nOK\r\n");
  }
};

const std::string kDeletions =
    "AT+CMGD=1\r\nAT+CMGD=2\r\nAT+CMGD=3\r\nAT+CMGD=4\r\nAT+CMGD=5\r\nAT+CMGD=6\r\n";

TEST_F(SmsStore, SaveDeletesStoresEachSlotAndListsAgain) {
  Fill({{1, {"+431", "Credit?"}},
        {2, {"+432", "Input 1 on"}},
        {3, {"0664", "(3) [x], a-b/c!"}},
        {5, {"+", " five "}},
        {6, {"+436", "six"}}});
  form_->SMSs->setPlainText("old listing");
  form_->ButtonSaveSMS->click();
  EXPECT_EQ(form_->SMSs->toPlainText(), "");
  EXPECT_TRUE(State().DeviceReady);
  std::string sent = DeleteSix();
  for (int slot = 1; slot <= 6; ++slot) sent += Store(slot);
  EXPECT_EQ(sent, kDeletions +
                      "AT+CMGW=+431\r\nCredit?\x1a"
                      "AT+CMGW=+432\r\nInput 1 on\x1a"
                      "AT+CMGW=0664\r\n(3) [x], a-b/c!\x1a"
                      "AT+CMGW=\r\n\x1a"
                      "AT+CMGW=+\r\n five \x1a"
                      "AT+CMGW=+436\r\nsix\x1a"
                      "AT+CMGL=ALL\r\n");
  EXPECT_EQ(Filled(), Slots{});
  EXPECT_EQ(State().StepIndex, 0);
  EXPECT_FALSE(State().SmsWriteAfterDelete);
  // The writing is over: a prompt now sends nothing.
  Device("> \r\n");
  EXPECT_EQ(SentAfterwards(), "");
}

TEST_F(SmsStore, DeleteStopsAfterTheSixthAndAnErrorWaitsForTheNextOk) {
  Fill({{2, {"+432", "two"}}});
  form_->ButtonDeleteSMS->click();
  EXPECT_EQ(Filled(), Slots{});
  EXPECT_FALSE(State().DeviceReady);
  std::string sent = SentThrough("AT+CMGD=1\r\n");
  for (int i = 0; i < 2; ++i) sent += Answer("\r\nOK\r\n");
  Device("\r\n+CMS ERROR: 321\r\n");
  for (int i = 0; i < 3; ++i) sent += Answer("\r\nOK\r\n");
  // The sixth deletion's answer ends it; a later OK sends nothing either.
  Device("\r\nOK\r\n\r\nOK\r\n");
  EXPECT_EQ(sent + SentAfterwards(), kDeletions);
  EXPECT_FALSE(State().SmsDeletePending);
  EXPECT_EQ(State().StepIndex, 1);
  EXPECT_TRUE(State().DeviceReady);
}

TEST_F(SmsStore, LoadDuringSaveStopsTheDeletion) {
  form_->ButtonSaveSMS->click();
  std::string sent = SentThrough("AT+CMGD=1\r\n");
  form_->ButtonLoadSMS->click();  // still ready until the first answer
  sent += SentThrough("AT+CMGL=ALL\r\n");
  Device("\r\nOK\r\n");
  EXPECT_EQ(sent + SentAfterwards(), "AT+CMGD=1\r\nAT+CMGL=ALL\r\n");
  EXPECT_FALSE(State().SmsDeletePending);
}

TEST_F(SmsStore, WritingFollowsTheReportedIndexAndLoadDoesNotStopIt) {
  Fill({{1, {"+431", "one"}}, {4, {"+434", "four"}}, {5, {"+435", "five"}}});
  form_->ButtonSaveSMS->click();
  std::string sent = DeleteSix();
  sent += Store(3);
  form_->ButtonLoadSMS->click();  // the report's "OK" made it ready
  sent += SentThrough("AT+CMGL=ALL\r\n");
  // Load emptied slot 4 and 5, which the writing still sends.
  sent += Store(4);
  EXPECT_EQ(sent, kDeletions +
                      "AT+CMGW=+431\r\none\x1a"
                      "AT+CMGW=+434\r\n"
                      "AT+CMGL=ALL\r\n"
                      "\x1a"
                      "AT+CMGW=\r\n");
}

TEST_F(SmsStore, AnErrorInsteadOfThePromptStopsTheWriting) {
  Fill({{1, {"+431", "one"}}, {2, {"+432", "two"}}});
  form_->ButtonSaveSMS->click();
  std::string sent = DeleteSix();
  Device("\r\n+CMS ERROR: 304\r\n\r\nOK\r\n");
  EXPECT_EQ(sent + SentAfterwards(), kDeletions + "AT+CMGW=+431\r\n");
  EXPECT_EQ(Filled(), (Slots{{1, {"+431", "one"}}, {2, {"+432", "two"}}}));
}

TEST_F(SmsStore, AListedIndexAtTheTopDoesNotOverflowAPendingDeletion) {
  form_->ButtonSaveSMS->click();
  std::string sent = SentThrough("AT+CMGD=1\r\n");
  Device("\r\n+CMGL: 2147483647,\"REC READ\",\"+4\",,\r\n\r\nOK\r\n");
  sent += SentThrough("\r\n");
  EXPECT_EQ(sent, "AT+CMGD=1\r\nAT+CMGD=-2147483648\r\n");
}

struct Listing {
  const char* what;
  std::string reply;
  QString memo;
  Slots filled;
  bool textPending;
};

TEST_F(SmsStore, ListingFillsSlotsAndMemo) {
  const Listing cases[] = {
      {"empty text: the next message's line runs on",
       "\r\n+CMGL: 3,\"STO UNSENT\",\"\",,\r\n\r\n+CMGL: 4,\"STO UNSENT\",\"+434\",,\r\n\r\n"
       "\r\nfour\r\n\r\nOK\r\n",
       " 3,\"STO UNSENT\",\"\",, 4,\"STO UNSENT\",\"+434\",,\"four\"\n",
       {{4, {"+434", "four"}}},
       false},
      {"a text OK is the OK line; the next unmatched line is the text",
       "\r\n+CMGL: 1,\"STO UNSENT\",\"+431\",,\r\nOK\r\n\r\nlate\r\n",
       " 1,\"STO UNSENT\",\"+431\",,\"late\"\n",
       {{1, {"+431", "late"}}},
       false},
      {"a text holding +CSQ is a signal reply",
       "\r\n+CMGL: 5,\"STO UNSENT\",\"+435\",,\r\nsay +CSQ: 9,99\r\n",
       " 5,\"STO UNSENT\",\"+435\",,",
       {{5, {"+435", ""}}},
       true},
      {"a refused character cuts the field, not the memo",
       "\r\n+CMGL: 6,\"STO UNSENT\",\"+436\",,\r\nCost: 5 \xE9UR\r\n",
       QString::fromLatin1(" 6,\"STO UNSENT\",\"+436\",,\"Cost: 5 \xE9UR\"\n"),
       {{6, {"+436", "Cost"}}},
       false},
      {"an index above 6 is shown only",
       "\r\n+CMGL: 2,\"STO UNSENT\",\"+432\",,\r\ntwo\r\n\r\n+CMGL: 7,\"REC READ\",\"+437\",,"
       "\"24/01/15,10:30:00+04\"\r\nYour credit\r\n\r\nOK\r\n",
       " 2,\"STO UNSENT\",\"+432\",,\"two\"\n 7,\"REC READ\",\"+437\",,\"24/01/15,10:30:00+04\""
       "\"Your credit\"\n",
       {{2, {"+432", "two"}}},
       false},
  };
  for (const Listing& c : cases) {
    SCOPED_TRACE(c.what);
    State().DeviceReady = true;
    State().SmsTextPending = false;
    form_->ButtonLoadSMS->click();
    EXPECT_EQ(SentThrough("\r\n"), "AT+CMGL=ALL\r\n");
    Device(c.reply);
    EXPECT_EQ(form_->SMSs->toPlainText(), c.memo);
    EXPECT_EQ(Filled(), c.filled);
    EXPECT_EQ(State().SmsTextPending, c.textPending);
  }
  // The last listing left index 7 behind: a prompt sends nothing.
  Device("> \r\n");
  EXPECT_EQ(SentAfterwards(), "");
}

TEST_F(SmsStore, ANonNumericIndexIsReported) {
  pty_.Write("+CMGL: x,\"REC READ\",\"+431\",,\r");
  ASSERT_TRUE(Serve([&] { return reports_.Reports().size() == 1; }));
  pty_.Write("\r+CMGW: ?\r");
  ASSERT_TRUE(Serve([&] { return reports_.Reports().size() == 2; }));
  using Report = std::pair<std::string, std::string>;
  EXPECT_EQ(reports_.Reports(),
            (std::vector<Report>{{"Morvel", "'x' is not a valid integer value."},
                                 {"Morvel", "'?' is not a valid integer value."}}));
  EXPECT_EQ(form_->SMSs->toPlainText(), " x,\"REC READ\",\"+431\",,");
  EXPECT_FALSE(State().SmsTextPending);
}

}  // namespace
}  // namespace morvel::test
