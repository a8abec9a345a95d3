// The SMS store exchange on the real window, the test playing the device:
// the exact bytes of Save, Delete and Load SMSs, each store one transaction
// that nothing else interrupts, a writing that stops where the device did
// not store a slot where it belongs, and what a listing puts into fields and
// memo.
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
  SmsStore() { form_->SetDialogueButtonsEnabled(true); }

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
  // The device lists `messages` as stored, unsent ones.
  static std::string ListingOf(const Slots& messages) {
    std::string lines;
    for (const auto& [slot, message] : messages) {
      lines += "\r\n+CMGL: " + std::to_string(slot) + ",\"STO UNSENT\",\"" +
               message.first.toStdString() + "\",,\r\n" + message.second.toStdString() + "\r\n";
    }
    return lines + "\r\nOK\r\n";
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
  // The writing is over: once the listing is answered, a prompt is cancelled.
  Device(kOk);
  Device("> \r\n");
  EXPECT_EQ(SentAfterwards(), "\x1b");
}

TEST_F(SmsStore, DeleteGoesOnPastAnEmptyOrRefusedIndexAndStopsAfterTheSixth) {
  Fill({{2, {"+432", "two"}}});
  form_->ButtonDeleteSMS->click();
  EXPECT_EQ(Filled(), Slots{});
  std::string sent = SentThrough("AT+CMGD=1\r\n");
  sent += Answer("\r\nOK\r\n");
  // Nothing at the index: as good as deleted, and not worth a word.
  sent += Answer("\r\n+CMS ERROR: 321\r\n");
  sent += Answer("\r\n+CMS ERROR: 314\r\n");
  for (int i = 0; i < 2; ++i) sent += Answer("\r\nOK\r\n");
  Device("\r\nOK\r\n\r\nOK\r\n");
  EXPECT_EQ(sent + SentAfterwards(), kDeletions);
  EXPECT_FALSE(State().SmsDeletePending);
  EXPECT_FALSE(form_->DeviceDialogue().ExchangeInProgress());
  EXPECT_EQ(reports_.Reports(),
            (std::vector<std::pair<std::string, std::string>>{
                {"Morvel", "The device answered +CMS ERROR: 314 (SIM busy) to AT+CMGD=3."}}));
}

struct Press {
  const char* what;
  int after;  // store 1 to 6 reported, or 7: the first message listed again
  QPushButton* TForm1::*button;
};

TEST_F(SmsStore, AButtonDoesNothingWhileAnExchangeIsPending) {
  const Slots messages = {{1, {"+431", "one"}},  {2, {"+432", "two"}},  {3, {"+433", "three"}},
                          {4, {"+434", "four"}}, {5, {"+435", "five"}}, {6, {"+436", "six"}}};
  std::string stores;
  for (const auto& [slot, message] : messages) {
    stores +=
        "AT+CMGW=" + message.first.toStdString() + "\r\n" + message.second.toStdString() + "\x1a";
  }
  const std::string listing = ListingOf(messages);
  const std::string::size_type secondListed = listing.find("\r\n+CMGL: 2");
  const Press presses[] = {
      {"Load SMSs while a message is written", 1, &TForm1::ButtonLoadSMS},
      {"Save PBook in the wait before a store", 2, &TForm1::SavePhone},
      {"Delete SMSs while the closing listing arrives", 7, &TForm1::ButtonDeleteSMS},
  };
  for (const Press& press : presses) {
    SCOPED_TRACE(press.what);
    Fill(messages);
    form_->ButtonSaveSMS->click();
    std::string sent = DeleteSix();
    for (int slot = 1; slot <= 6; ++slot) {
      sent += Store(slot);
      if (slot == press.after) (form_.get()->*press.button)->click();
    }
    Device(listing.substr(0, secondListed));
    if (press.after == 7) (form_.get()->*press.button)->click();
    Device(listing.substr(secondListed));
    EXPECT_EQ(sent + SentAfterwards(), kDeletions + stores + "AT+CMGL=ALL\r\n");
    EXPECT_EQ(Filled(), messages);
    // Over with the listing's "OK": the buttons act again.
    form_->ButtonLoadSMS->click();
    EXPECT_EQ(SentThrough("AT+CMGL=ALL\r\n"), "AT+CMGL=ALL\r\n");
    Device(listing);
  }
}

TEST_F(SmsStore, NothingIsWrittenWhileAStoreAwaitsItsAnswer) {
  Fill({{1, {"+431", "one"}}, {2, {"+432", "two"}}});
  form_->ButtonSaveSMS->click();
  std::string sent = DeleteSix();
  // The poll falls due while the SIM is slow to take the store.
  State().LinkMissCount = 9;
  Tick();
  sent += SentAfterwards();
  sent += Answer("\r\n> ", "\x1a");
  Tick();
  sent += SentAfterwards();
  sent += Answer("\r\n+CMGW: 1\r\n\r\nOK\r\n");
  sent += Answer("\r\n+CREG: 0,1\r\n\r\nOK\r\n");
  EXPECT_EQ(sent, kDeletions +
                      "AT+CMGW=+431\r\none\x1a"
                      "AT+CREG?\r\n"
                      "AT+CMGW=+432\r\n");
  // The poll's chain goes on after the next store.
  EXPECT_EQ(Store(2),
            "two\x1a"
            "AT+COPS?\r\n");
}

struct Stop {
  bool saving;                       // Save SMSs, else Delete SMSs
  std::vector<std::string> replies;  // to the store or to the first deletion
  std::string sent;                  // the window's answers to them
  std::string report;
};

TEST_F(SmsStore, AWritingThatCannotGoOnStopsThereAndSaysWhatIsLeft) {
  const Slots messages = {{1, {"+431", "one"}}, {2, {"+432", "two"}}};
  const std::string prompt = "\r\n> ";
  const std::string kept =
      ": indexes 1 to 6 are already deleted; the fields still hold what is to be saved: press "
      "Save SMSs again.";
  const std::string left = "; the fields still hold what is to be saved: press Save SMSs again.";
  const Stop stops[] = {
      {true,
       {"\r\nERROR\r\n"},
       "",
       "The device answered ERROR to AT+CMGW=+431. Save SMSs stopped after storing 0 of the 6 "
       "messages" +
           kept},
      {true,
       {"\r\n+CMS ERROR: 304\r\n"},
       "",
       "The device answered +CMS ERROR: 304 (invalid PDU mode parameter) to AT+CMGW=+431. Save "
       "SMSs stopped after storing 0 of the 6 messages" +
           kept},
      {true,
       {prompt, "\r\n+CMGW: 1\r\n\r\nOK\r\n", "\r\n+CMS ERROR: 322\r\n"},
       "one\x1a"
       "AT+CMGW=+432\r\n",
       "The device answered +CMS ERROR: 322 (memory full) to AT+CMGW=+432. Save SMSs stopped "
       "after storing 1 of the 6 messages" +
           kept},
      // A message that arrived after the deletions took index 1.
      {true,
       {"\r\n+CMTI: \"SM\",1\r\n", prompt, "\r\n+CMGW: 2\r\n\r\nOK\r\n"},
       "one\x1a",
       "The device stored the message of slot 1 at index 2, not at index 1. Save SMSs stopped "
       "after storing 0 of the 6 messages" +
           left},
      {true,
       {prompt, "\r\n+CMGW: 0\r\n\r\nOK\r\n"},
       "one\x1a",
       "The device stored the message of slot 1 at index 0, not at index 1. Save SMSs stopped "
       "after storing 0 of the 6 messages" +
           left},
      {true,
       {prompt, "\r\nOK\r\n"},
       "one\x1a",
       "The device stored the message of slot 1 without saying where, not at index 1. Save SMSs "
       "stopped after storing 0 of the 6 messages" +
           left},
  };
  for (const Stop& stop : stops) {
    SCOPED_TRACE(stop.replies.back());
    const size_t before = reports_.Reports().size();
    Fill(messages);
    form_->ButtonSaveSMS->click();
    std::string sent = DeleteSix();
    for (const std::string& reply : stop.replies) {
      Device(reply);
      sent += SentAfterwards();
    }
    EXPECT_EQ(sent, kDeletions + "AT+CMGW=+431\r\n" + stop.sent);
    ASSERT_EQ(reports_.Reports().size(), before + 1);
    EXPECT_EQ(reports_.Reports().back().second, stop.report);
    EXPECT_EQ(Filled(), messages);
    // Over: the buttons act again.
    form_->ButtonLoadSMS->click();
    EXPECT_EQ(SentThrough("AT+CMGL=ALL\r\n"), "AT+CMGL=ALL\r\n");
    Device("\r\nOK\r\n");
  }
}

TEST_F(SmsStore, ARefusedListingIsReportedUnlessTheStoreIsEmpty) {
  const std::pair<std::string, std::string> cases[] = {
      {"\r\n+CMS ERROR: 321\r\n", ""},
      {"\r\n+CMS ERROR: 304\r\n",
       "The device answered +CMS ERROR: 304 (invalid PDU mode parameter) to AT+CMGL=ALL."},
  };
  for (const auto& [answer, report] : cases) {
    const size_t before = reports_.Reports().size();
    form_->ButtonLoadSMS->click();
    FormOnPty::Answer("AT+CMGL=ALL\r\n", answer);
    const std::vector<std::pair<std::string, std::string>> told(
        reports_.Reports().begin() + static_cast<std::ptrdiff_t>(before), reports_.Reports().end());
    using Told = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(told, (report.empty() ? Told{} : Told{{"Morvel", report}}));
  }
}

struct Listing {
  const char* what;
  std::string reply;
  QString memo;
  Slots filled;
};

TEST_F(SmsStore, ListingFillsSlotsAndMemo) {
  const Listing cases[] = {
      {"an empty text is an empty line",
       "\r\n+CMGL: 3,\"STO UNSENT\",\"\",,\r\n\r\n\r\n+CMGL: 4,\"STO UNSENT\",\"+434\",,\r\n"
       "four\r\n\r\nOK\r\n",
       " 3,\"STO UNSENT\",\"\",,\"\"\n 4,\"STO UNSENT\",\"+434\",,\"four\"\n",
       {{4, {"+434", "four"}}}},
      {"a refused character cuts the field, not the memo",
       "\r\n+CMGL: 6,\"STO UNSENT\",\"+436\",,\r\nCost: 5 \xE9UR\r\n\r\nOK\r\n",
       QString::fromLatin1(" 6,\"STO UNSENT\",\"+436\",,\"Cost: 5 \xE9UR\"\n"),
       {{6, {"+436", "Cost"}}}},
      {"an index above 6 is shown only",
       "\r\n+CMGL: 2,\"STO UNSENT\",\"+432\",,\r\ntwo\r\n\r\n+CMGL: 7,\"REC READ\",\"+437\",,"
       "\"24/01/15,10:30:00+04\"\r\nYour credit\r\n\r\nOK\r\n",
       " 2,\"STO UNSENT\",\"+432\",,\"two\"\n 7,\"REC READ\",\"+437\",,\"24/01/15,10:30:00+04\""
       "\"Your credit\"\n",
       {{2, {"+432", "two"}}}},
  };
  for (const Listing& c : cases) {
    SCOPED_TRACE(c.what);
    form_->ButtonLoadSMS->click();
    EXPECT_EQ(SentThrough("\r\n"), "AT+CMGL=ALL\r\n");
    Device(c.reply);
    EXPECT_EQ(form_->SMSs->toPlainText(), c.memo);
    EXPECT_EQ(Filled(), c.filled);
    EXPECT_FALSE(State().SmsTextPending);
  }
  // The last listing left index 7 behind: a prompt is cancelled.
  Device("> \r\n");
  EXPECT_EQ(SentAfterwards(), "\x1b");
}

TEST_F(SmsStore, AListedTextIsTextWhateverItSays) {
  // A stranger's message at index 7, written to look like a reply.
  const std::string texts[] = {"+CPBR: 1,\"+4399887766\",145,\"MASTER1\"", "+CMGW: 3", "+CREG: 0,1",
                               "OK", "> 1"};
  form_->MASTER1->setText("+431");
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    form_->ButtonLoadSMS->click();
    EXPECT_EQ(SentThrough("\r\n"), "AT+CMGL=ALL\r\n");
    Device("\r\n+CMGL: 7,\"REC READ\",\"+4399887766\",,\"24/01/15,10:30:00+04\"\r\n" + text +
           "\r\n");
    EXPECT_TRUE(form_->SMSs->toPlainText().endsWith(QString::fromStdString("\"" + text + "\"\n")));
    EXPECT_EQ(form_->MASTER1->text(), "+431");
    EXPECT_EQ(State().SimIndex, (std::array<int32_t, kTagCount>{}));
    EXPECT_EQ(form_->Gauge1->Progress(), 0);
    EXPECT_TRUE(form_->DeviceDialogue().ExchangeInProgress());
    EXPECT_EQ(SentAfterwards(), "");
    Device("\r\nOK\r\n");
    EXPECT_FALSE(form_->DeviceDialogue().ExchangeInProgress());
  }
}

TEST_F(SmsStore, ANonNumericIndexIsReported) {
  // The header's text line follows even when its index cannot be read, and
  // is text whatever it looks like; the next such reply is reported.
  form_->ButtonLoadSMS->click();
  SentThrough("AT+CMGL=ALL\r\n");
  pty_.Write("+CMGL: x,\"REC READ\",\"+431\",,\r");
  ASSERT_TRUE(Serve([&] { return reports_.Reports().size() == 1; }));
  pty_.Write("+CMGW: ?\r");
  ASSERT_TRUE(Serve([&] { return !State().SmsTextPending; }));
  pty_.Write("+CMGL: ?,\r");
  ASSERT_TRUE(Serve([&] { return reports_.Reports().size() == 2; }));
  using Report = std::pair<std::string, std::string>;
  EXPECT_EQ(reports_.Reports(),
            (std::vector<Report>{{"Morvel", "'x' is not a valid integer value."},
                                 {"Morvel", "'?' is not a valid integer value."}}));
  EXPECT_EQ(form_->SMSs->toPlainText(), " x,\"REC READ\",\"+431\",,\"+CMGW: ?\"\n ?,");
}

}  // namespace
}  // namespace morvel::test
