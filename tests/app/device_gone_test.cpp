// The window whose Kestrix goes away and comes back: what it says and keeps,
// what it tells of an exchange cut short, and how it starts over.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <tuple>

#include "form_on_pty.h"

namespace morvel::test {
namespace {

class DeviceGone : public FormOnPty {
 protected:
  DeviceGone() : device_(std::filesystem::canonical(pty_.SlavePath()).string()) {
    form_->SetDialogueButtonsEnabled(true);
  }

  // The device hangs up; the report that says so.
  std::string HangUp() {
    pty_.CloseMaster();
    EXPECT_TRUE(Serve([&] { return !reports_.Reports().empty(); }));
    return reports_.Reports().empty() ? "" : reports_.Reports().back().second;
  }
  std::string Told(const std::string& cutShort = "") const {
    return "The Kestrix on COM7 (" + device_ + ") has gone away: its line hung up. " +
           (cutShort.empty() ? "" : cutShort + ". ") +
           "Morvel will take the device back when it returns.";
  }
  std::vector<std::string> Fields() const {
    std::vector<std::string> texts;
    for (size_t line = 0; line < config::kConfigFieldCount; ++line)
      texts.push_back(form_->FieldText(config::FieldAt(line)));
    return texts;
  }

  const std::string device_;
};

TEST_F(DeviceGone, GoneIsSaidPlainlyAndTheWindowRestsUntilTheDeviceIsBack) {
  form_->SetOperatorPanel("Operator: \"Kestrix Net\"");
  form_->SetCreditPanel("Credit: 192");
  form_->SetLinkProgress(20);
  form_->SetSignal(20, {0, 255, 255});
  form_->MASTER1->setText("+431");
  EXPECT_EQ(HangUp(), Told());
  auto shown = [&] {
    return std::tuple(form_->StatusPanels[0]->text().toStdString(),
                      form_->StatusPanels[1]->text().toStdString(), form_->Gauge1->Progress(),
                      form_->Smeter->Progress(), form_->LoadPHONE->isEnabled(),
                      form_->ButtonSaveSMS->isEnabled());
  };
  EXPECT_EQ(shown(),
            std::tuple("Kestrix gone: COM7 (" + device_ + ")", "Credit:", 0, 0, false, false));
  Tick(12);  // the poll's queries go nowhere, and nothing is told again
  EXPECT_EQ(reports_.Reports().size(), 1u);
  EXPECT_EQ(shown(),
            std::tuple("Kestrix gone: COM7 (" + device_ + ")", "Credit:", 0, 0, false, false));

  // A new device under COM7, taken at the port's next look.
  PtyPair again;
  folder_.Link(7, again.SlavePath());
  form_->SerComPort1->LookForDevice();
  EXPECT_EQ(again.ReadUntil("ATE\r\n"), "ATE\r\n");
  EXPECT_EQ(form_->StatusPanels[0]->text(), "Operator:");
  EXPECT_EQ(form_->MASTER1->text(), "+431");
  // The session afresh: echo off, then text mode.
  again.Write(kOk);
  std::string setUp;
  ASSERT_TRUE(Serve([&] {
    setUp += again.ReadAvailable(std::chrono::milliseconds(1));
    return setUp == "AT+CMGF=1\r\n";
  }));
  again.Write(kOk);
  ASSERT_TRUE(Serve([&] { return State().Commands.InFlight() == nullptr; }));
  // The poll from its start: the first registration query on the ninth tick.
  Tick(8);
  EXPECT_EQ(again.ReadAvailable(), "");
  Tick();
  EXPECT_EQ(again.ReadAvailable(), "AT+CREG?\r\n");
}

// Each step presses a button (when it names one), then the device sends,
// then the window has sent.
struct Step {
  QPushButton* TForm1::*press;
  std::string device;
  std::string sent;
};
struct CutShort {
  const char* what;
  std::vector<Step> steps;
  std::string told;
};
// Names the case in test output instead of dumping its bytes.
void PrintTo(const CutShort& cut, std::ostream* out) {
  *out << cut.what;
}

std::vector<CutShort> CutShorts() {
  const std::string numbersKept =
      "; the fields still hold the numbers: press Save PBook again when the device is back";
  const std::string messagesKept =
      "; the fields still hold the messages: press Save SMSs again when the device is back";
  std::vector<Step> deleted;
  for (int i = 2; i <= 6; ++i) deleted.push_back({nullptr, kOk, "AT+CMGD=" + std::to_string(i)});
  std::vector<Step> stored = deleted;
  stored.push_back({nullptr, kOk, "AT+CMGW=+431\r\n"});
  stored.push_back({nullptr, "\r\n> ", "hello\x1a"});
  stored.push_back({nullptr, "\r\n+CMGW: 1\r\n" + kOk, "AT+CMGW=+432\r\n"});
  stored.insert(stored.begin(), {&TForm1::ButtonSaveSMS, "", "AT+CMGD=1\r\n"});
  return {
      {"erasing",
       {{&TForm1::LoadPHONE, "", "AT+CPBR=1,100\r\n"},
        {nullptr, "\r\n+CPBR: 1,\"+431\",145,\"MASTER1\"\r\n+CPBR: 2,\"+4\",145,\"MASTER2\"" + kOk,
         "AT+CSCA?\r\n"},
        {nullptr, kOk, ""},
        {&TForm1::SavePhone, "", "AT+CPBW=1\r\n"},
        {nullptr, kOk, "AT+CPBW=2\r\n"}},
       "Save PBook was cut short after erasing 1 entry" + numbersKept},
      {"writing",
       {{&TForm1::SavePhone, "", "AT\r\n"},
        {nullptr, kOk, "AT+CPBW=,+431,145,\"MASTER1\"\r\n"},
        {nullptr, kOk, "AT\r\n"}},
       "Save PBook was cut short after writing 1 of the 9 numbers" + numbersKept},
      {"phonebook listing",
       {{&TForm1::LoadPHONE, "", "AT+CPBR=1,100\r\n"},
        {nullptr, "\r\n+CPBR: 1,\"+431\",145,\"MASTER1\"\r\n", ""}},
       "The SIM phonebook listing was cut short; the tree holds only the entries that arrived: "
       "press Load PBook when the device is back"},
      {"deleting",
       {{&TForm1::ButtonDeleteSMS, "", "AT+CMGD=1\r\n"}, {nullptr, kOk, "AT+CMGD=2\r\n"}},
       "Delele SMSs was cut short after deleting 1 of the 6 messages: press Delele SMSs again "
       "when the device is back"},
      {"deleting to store",
       {{&TForm1::ButtonSaveSMS, "", "AT+CMGD=1\r\n"}, {nullptr, kOk, "AT+CMGD=2\r\n"}},
       "Save SMSs was cut short after deleting 1 of the 6 messages" + messagesKept},
      {"storing", stored,
       "Save SMSs was cut short after storing 1 of the 6 messages" + messagesKept},
      {"SMS listing",
       {{&TForm1::ButtonLoadSMS, "", "AT+CMGL=ALL\r\n"},
        {nullptr, "\r\n+CMGL: 1,\"STO UNSENT\",\"+431\",,\r\n", ""}},
       "The SMS listing was cut short; the memo holds only the messages that arrived: press "
       "Load SMSs when the device is back"},
  };
}

class ExchangeCutShort : public DeviceGone, public testing::WithParamInterface<CutShort> {};

TEST_P(ExchangeCutShort, IsToldWithWhatIsLeftToDoAndEnded) {
  form_->MASTER1->setText("+431");
  form_->SMSPhone1->setText("+431");
  form_->SMSPhone2->setText("+432");
  form_->SMSText1->setText("hello");
  Device(kOk);
  for (const Step& step : GetParam().steps) {
    if (step.press) (form_.get()->*step.press)->click();
    if (!step.device.empty()) Device(step.device);
    if (!step.sent.empty()) {
      ASSERT_NE(SentThrough(step.sent).find(step.sent), std::string::npos) << GetParam().what;
    }
  }
  const std::vector<std::string> fields = Fields();
  EXPECT_EQ(HangUp(), Told(GetParam().told));
  const DialogueState& s = State();
  EXPECT_EQ(std::tuple(s.PhoneErasePending, s.PhoneWritePending, s.SmsDeletePending,
                       s.SmsWriteAfterDelete, s.SmsTextPending, s.DeviceReady),
            std::tuple(false, false, false, false, false, false));
  EXPECT_EQ(Fields(), fields);
}

INSTANTIATE_TEST_SUITE_P(Exchanges, ExchangeCutShort, testing::ValuesIn(CutShorts()),
                         [](const auto& info) {
                           std::string name = info.param.what;
                           std::erase(name, ' ');
                           return name;
                         });

}  // namespace
}  // namespace morvel::test
