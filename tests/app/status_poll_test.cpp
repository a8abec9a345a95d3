// The network status poll on the real window, its timer driven tick by tick:
// the link bar and the dialogue buttons, the registration queries, and the
// chain of status replies that fill the signal meter and the status panels.
#include <QLabel>
#include <QPushButton>

#include "form_on_pty.h"

namespace morvel::test {
namespace {

const std::string kAskRegistration = "AT+CREG?\r\n";
const QColor kRed(255, 0, 0), kAqua(0, 255, 255), kLimeGreen(0, 255, 0);

class StatusPoll : public FormOnPty {
 protected:
  // How many of the six dialogue buttons are enabled; they go together, so
  // anything but 0 or 6 is a fault.
  int EnabledButtons() const {
    int enabled = 0;
    for (QPushButton* button :
         {form_->LoadPHONE, form_->SavePhone, form_->ButtonDeletePhone, form_->ButtonLoadSMS,
          form_->ButtonSaveSMS, form_->ButtonDeleteSMS}) {
      enabled += button->isEnabled();
    }
    return enabled;
  }

  // What the window has sent since the last look. A mark written through the
  // port after it comes out after it, so nothing sent before can be missed.
  std::string Sent() {
    form_->SerComPort1->WriteText("|");
    std::string sent = SentThrough("|");
    if (!sent.empty() && sent.back() == '|') sent.pop_back();
    return sent;
  }

  // Ticks with the indicator lit; every tick puts it out, whatever else it did.
  std::string SentByTick() {
    form_->SetLedVisible(true);
    Tick();
    EXPECT_FALSE(LedLit());
    return Sent();
  }

  QString Panel(int index) const { return form_->StatusPanels[index]->text(); }
};

TEST_F(StatusPoll, ASilentDeviceIsAskedOnThreeTicksOfEveryElevenFromTheNinthOn) {
  EXPECT_EQ(EnabledButtons(), 6);
  std::vector<std::string> sent;
  std::vector<int> forgotten;
  for (int tick = 1; tick <= 33; ++tick) {
    if (State().OperatorName.empty()) State().OperatorName = "\"Kestrix Net\"";
    sent.push_back(SentByTick());
    if (State().OperatorName.empty()) forgotten.push_back(tick);
    EXPECT_EQ(EnabledButtons(), 0) << tick;
    EXPECT_EQ(form_->Gauge1->Progress(), 0) << tick;
  }
  std::vector<std::string> asked(33);
  for (int first : {9, 20, 31}) std::fill_n(asked.begin() + first - 1, 3, kAskRegistration);
  EXPECT_EQ(sent, asked);
  EXPECT_EQ(forgotten, (std::vector<int>{11, 22, 33}));
  EXPECT_EQ(State().LinkMissCount, 0);
}

TEST_F(StatusPoll, ADeviceThatAnswersAtOnceKeepsTheButtonsFor22TicksOf35) {
  State().OperatorName = "\"Kestrix Net\"";
  Device("\r\n+CREG: 0,1\r\n");
  EXPECT_EQ(Sent(), "AT+CSQ\r\n");
  std::vector<std::string> asked(35);
  asked.back() = kAskRegistration;
  std::vector<int> bar;
  for (int tick = 1; tick <= 35; ++tick) bar.push_back(std::max(27 - tick, 0));
  for (int cycle = 0; cycle < 2; ++cycle) {
    SCOPED_TRACE(cycle);
    std::vector<std::string> sent;
    std::vector<int> progress;
    std::string usable;
    for (int tick = 1; tick <= 35; ++tick) {
      sent.push_back(SentByTick());
      progress.push_back(form_->Gauge1->Progress());
      usable += EnabledButtons() == 6 ? 'E' : EnabledButtons() == 0 ? '-' : '?';
    }
    EXPECT_EQ(sent, asked);
    EXPECT_EQ(progress, bar);
    // Still usable at 5, not at 4.
    EXPECT_EQ(usable, std::string(22, 'E') + std::string(13, '-'));
    Device("\r\n+CREG: 0,1\r\n");
    EXPECT_EQ(Sent(), "AT+CSQ\r\n");
    EXPECT_EQ(form_->Gauge1->Progress(), 27);
    EXPECT_EQ(EnabledButtons(), 6);
  }
}

TEST_F(StatusPoll, OnlyTheExactHomeRegistrationRefillsTheBarAndStartsTheChain) {
  // Line, operator known before, whether it counts, what it sends.
  const std::tuple<std::string, std::string, bool, std::string> cases[] = {
      {"+CREG: 0,1", "", true, "AT+COPS?\r\n"},
      {"+CREG: 0,1", "\"Kestrix Net\"", true, "AT+CSQ\r\n"},
      {"+CREG: 0,5", "", false, ""},
      {"+CREG: 1,1", "", false, ""},
      {"+CREG: 2,1,\"1A2B\",\"00C3\"", "", false, ""},
      {"+CREG: 0,1 ", "", false, ""},
  };
  for (const auto& [line, operatorName, registered, chained] : cases) {
    SCOPED_TRACE(line + " with operator " + operatorName);
    form_->SetLinkProgress(0);
    form_->SetDialogueButtonsEnabled(false);
    State().LinkMissCount = 9;
    State().OperatorName = operatorName;
    State().DeviceReady = true;
    Device("\r\n" + line + "\r\n");
    EXPECT_EQ(Sent(), chained);
    EXPECT_EQ(form_->Gauge1->Progress(), registered ? 27 : 0);
    EXPECT_EQ(EnabledButtons(), registered ? 6 : 0);
    EXPECT_EQ(State().LinkMissCount, registered ? 0 : 9);
    EXPECT_EQ(State().DeviceReady, !registered);
    // Unregistered, the queries go on.
    EXPECT_EQ(SentByTick(), registered ? "" : kAskRegistration);
  }
}

TEST_F(StatusPoll, SignalSetsTheMeterAndItsColourAndSendsNothing) {
  const std::tuple<const char*, QColor, int> cases[] = {
      // Every row changes the colour.
      {"+CSQ: 14,99", kRed, 14}, {"+CSQ: 15,99", kAqua, 15},      {"+CSQ: 99,99", kRed, 31},
      {"+CSQ: 21,0", kAqua, 21}, {"+CSQ: 32,99", kRed, 31},       {"+CSQ: 22,99", kLimeGreen, 22},
      {"+CSQ: -3,99", kRed, 0},  {"+CSQ: 31,99", kLimeGreen, 31},
  };
  State().DeviceReady = true;
  for (const auto& [line, colour, meter] : cases) {
    SCOPED_TRACE(line);
    Device(std::string(line) + "\r\n");
    EXPECT_EQ(form_->Smeter->ForeColor(), colour);
    EXPECT_EQ(form_->Smeter->Progress(), meter);
  }
  EXPECT_EQ(State().SignalQuality, 31);
  EXPECT_TRUE(State().DeviceReady);
  EXPECT_EQ(Sent(), "");
}

TEST_F(StatusPoll, OperatorIsItsFirstTwentyCharactersFromTheQuoteOnAndAsksForTheCredit) {
  const std::pair<const char*, const char*> cases[] = {
      {"+COPS: 0,0,\"Kestrix Net\"", "\"Kestrix Net\""},
      {"+COPS: 0,0,\"Kestrix Network Austria\"", "\"Kestrix Network Aus"},
      {"+COPS: 0,2,232010123456789", "+COPS: 0,2,232010123"},
  };
  for (const auto& [line, name] : cases) {
    SCOPED_TRACE(line);
    State().DeviceReady = true;
    Device(std::string("\r\n") + line + "\r\n");
    EXPECT_EQ(Sent(), "AT+CAMM?\r\n");
    EXPECT_EQ(State().OperatorName, name);
    EXPECT_EQ(Panel(0), QString("Operator: ") + name);
    EXPECT_FALSE(State().DeviceReady);
  }
}

TEST_F(StatusPoll, CreditIsTheMaximumLessTheUsedOrLumpWithoutAMaximum) {
  // Each row: a maximum reply, then a used reply, then what the panel shows.
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"000100", "000040", "Credit: 192"},      {"000040", "000040", "Credit: 0"},
      {"000040", "000100", "Credit: 0"},        {"000000", "000000", "Credit: Lump"},
      {"FFFFFF", "000001", "Credit: 16777214"}, {"000000", "000040", "Credit: Lump"},
  };
  for (const auto& [maximum, used, panel] : cases) {
    SCOPED_TRACE(std::string(maximum) + " " + used);
    State().DeviceReady = true;
    Device("\r\n+CAMM: \"" + std::string(maximum) + "\"\r\n");
    EXPECT_EQ(Sent(), "AT+CACM?\r\n");
    EXPECT_FALSE(State().DeviceReady);
    State().DeviceReady = true;
    Device("\r\n+CACM: \"" + std::string(used) + "\"\r\n");
    EXPECT_EQ(Panel(1), panel);
    EXPECT_TRUE(State().DeviceReady);
  }
}

TEST_F(StatusPoll, AMalformedSignalIsReportedAndThePollGoesOn) {
  form_->Smeter->SetProgress(7);
  Device("\r\n+CSQ: 99\r\n");
  EXPECT_EQ(reports_.Reports(), (std::vector<std::pair<std::string, std::string>>{
                                    {"Morvel", "'' is not a valid integer value."}}));
  EXPECT_EQ(form_->Smeter->Progress(), 7);
  Device("\r\n+CREG: 0,1\r\n");
  EXPECT_EQ(form_->Gauge1->Progress(), 27);
  EXPECT_EQ(Sent(), "AT+COPS?\r\n");
  EXPECT_EQ(reports_.Reports().size(), 1u);
}

}  // namespace
}  // namespace morvel::test
