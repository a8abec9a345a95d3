// The network status poll on the real window, its timer driven tick by tick:
// the link bar and the dialogue buttons, the registration queries one at a
// time, the chain of status queries that fill the signal meter and the
// status panels, and what the status bar says of a device that does not
// count as registered or does not answer.
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

  // The registration is asked for and answered with `line`; returns what
  // the answer made the window send.
  std::string Registration(const std::string& line) {
    AskRegistration();
    Device("\r\n" + line + "\r\n" + kOk);
    return Sent();
  }

  QString Panel(int index) const { return form_->StatusPanels[index]->text(); }
};

TEST_F(StatusPoll, ASilentDeviceIsAskedOneQueryAtATimeAndSaidToBeSilentAfterThree) {
  EXPECT_EQ(EnabledButtons(), 6);
  State().OperatorName = "\"Kestrix Net\"";
  std::vector<int> asked;
  std::vector<std::string> panels;
  for (int tick = 1; tick <= 50; ++tick) {
    if (SentByTick() == kAskRegistration) asked.push_back(tick);
    panels.push_back(Panel(0).toStdString());
    EXPECT_EQ(EnabledButtons(), 0) << tick;
  }
  // Each query waits for its answer up to its time limit before the next.
  EXPECT_EQ(asked, (std::vector<int>{9, 21, 33}));
  EXPECT_EQ(panels[42], "Operator:");
  EXPECT_EQ(panels[43], "Kestrix does not answer");
  EXPECT_EQ(panels.back(), "Kestrix does not answer");
  // Until it answers again.
  EXPECT_EQ(Registration("+CREG: 0,1"), "AT+COPS?\r\n");
  EXPECT_EQ(Panel(0), "Operator:");
  EXPECT_EQ(form_->Gauge1->Progress(), 27);
}

TEST_F(StatusPoll, ADeviceThatAnswersAtOnceKeepsTheButtonsFor22TicksOf35) {
  State().OperatorName = "\"Kestrix Net\"";
  EXPECT_EQ(Registration("+CREG: 0,1"), "AT+CSQ\r\n");
  Device("\r\n+CSQ: 21,99\r\n" + kOk);
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
    Device("\r\n+CREG: 0,1\r\n" + kOk);
    EXPECT_EQ(Sent(), "AT+CSQ\r\n");
    Device("\r\n+CSQ: 21,99\r\n" + kOk);
    EXPECT_EQ(form_->Gauge1->Progress(), 27);
    EXPECT_EQ(EnabledButtons(), 6);
  }
}

TEST_F(StatusPoll, HomeAndRoamingRegistrationsCountAndAnyOtherStateIsSaidInWords) {
  // Line, operator known before, whether it counts, what it sends, the panel.
  const std::tuple<std::string, std::string, bool, std::string, std::string> cases[] = {
      {"+CREG: 0,1", "", true, "AT+COPS?\r\n", "Operator:"},
      {"+CREG: 0,1", "\"Kestrix Net\"", true, "AT+CSQ\r\n", "Operator: \"Kestrix Net\""},
      {"+CREG: 0,5", "\"Kestrix Net\"", true, "AT+CSQ\r\n", "Operator: \"Kestrix Net\""},
      {"+CREG: 1,1", "\"Kestrix Net\"", true, "AT+CSQ\r\n", "Operator: \"Kestrix Net\""},
      {"+CREG: 2,5,\"1A2B\",\"00C3\"", "\"Kestrix Net\"", true, "AT+CSQ\r\n",
       "Operator: \"Kestrix Net\""},
      {"+CREG: 0,0", "", false, "", "Kestrix not registered"},
      {"+CREG: 0,2", "", false, "", "Kestrix searching for a network"},
      {"+CREG: 1,3", "", false, "", "Kestrix registration denied"},
      {"+CREG: 0,4", "", false, "", "Kestrix registration unknown"},
      // The unsolicited form answers nothing, even while the query waits.
      {"+CREG: 1", "", false, "", "Operator:"},
      {"+CREG: 3,1", "", false, "", "Operator:"},
  };
  for (const auto& [line, operatorName, registered, chained, panel] : cases) {
    SCOPED_TRACE(line + " with operator " + operatorName);
    form_->SetLinkProgress(0);
    form_->SetDialogueButtonsEnabled(false);
    form_->SetOperatorPanel(operatorName.empty() ? "Operator:" : "Operator: " + operatorName);
    State().OperatorName = operatorName;
    EXPECT_EQ(Registration(line), chained);
    if (!chained.empty()) Device(kOk);  // the chained query, answered with nothing
    EXPECT_EQ(form_->Gauge1->Progress(), registered ? 27 : 0);
    EXPECT_EQ(EnabledButtons(), registered ? 6 : 0);
    EXPECT_EQ(Panel(0).toStdString(), panel);
  }
  // A SIM that waits for its PIN says so at power-up, and is not registered.
  Device("\r\n+CPIN: SIM PIN\r\n");
  Registration("+CREG: 0,0");
  EXPECT_EQ(Panel(0), "Kestrix SIM PIN needed");
  // Registered again, the operator comes back to the panel.
  State().OperatorName = "\"Kestrix Net\"";
  Registration("+CREG: 0,1");
  EXPECT_EQ(Panel(0), "Operator: \"Kestrix Net\"");
}

TEST_F(StatusPoll, SignalSetsTheMeterAndItsColourAndSendsNothing) {
  const std::tuple<const char*, QColor, int> cases[] = {
      // Every row changes the colour.
      {"+CSQ: 14,99", kRed, 14}, {"+CSQ: 15,99", kAqua, 15},      {"+CSQ: 99,99", kRed, 31},
      {"+CSQ: 21,0", kAqua, 21}, {"+CSQ: 32,99", kRed, 31},       {"+CSQ: 22,99", kLimeGreen, 22},
      {"+CSQ: -3,99", kRed, 0},  {"+CSQ: 31,99", kLimeGreen, 31},
  };
  State().OperatorName = "\"Kestrix Net\"";
  for (const auto& [line, colour, meter] : cases) {
    SCOPED_TRACE(line);
    EXPECT_EQ(Registration("+CREG: 0,1"), "AT+CSQ\r\n");
    Device(std::string("\r\n") + line + "\r\n" + kOk);
    EXPECT_EQ(form_->Smeter->ForeColor(), colour);
    EXPECT_EQ(form_->Smeter->Progress(), meter);
    EXPECT_EQ(Sent(), "");
  }
  EXPECT_EQ(State().SignalQuality, 31);
}

TEST_F(StatusPoll, OperatorIsItsFirstTwentyCharactersFromTheQuoteOnAndAsksForTheCredit) {
  const std::pair<const char*, const char*> cases[] = {
      {"+COPS: 0,0,\"Kestrix Net\"", "\"Kestrix Net\""},
      {"+COPS: 0,0,\"Kestrix Network Austria\"", "\"Kestrix Network Aus"},
      {"+COPS: 0,2,232010123456789", "+COPS: 0,2,232010123"},
  };
  for (const auto& [line, name] : cases) {
    SCOPED_TRACE(line);
    State().OperatorName.clear();
    EXPECT_EQ(Registration("+CREG: 0,1"), "AT+COPS?\r\n");
    Device(std::string("\r\n") + line + "\r\n" + kOk);
    EXPECT_EQ(Sent(), "AT+CAMM?\r\n");
    EXPECT_EQ(State().OperatorName, name);
    EXPECT_EQ(Panel(0), QString("Operator: ") + name);
    Device("\r\nERROR\r\n");  // the credit refused: the chain ends quietly
    EXPECT_EQ(Sent(), "");
  }
  EXPECT_TRUE(reports_.Reports().empty());
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
    State().OperatorName.clear();
    Registration("+CREG: 0,1");
    Device("\r\n+COPS: 0,0,\"Kestrix Net\"\r\n" + kOk);
    Device("\r\n+CAMM: \"" + std::string(maximum) + "\"\r\n" + kOk);
    EXPECT_EQ(Sent(), "AT+CAMM?\r\nAT+CACM?\r\n");
    Device("\r\n+CACM: \"" + std::string(used) + "\"\r\n" + kOk);
    EXPECT_EQ(Panel(1), panel);
  }
}

TEST_F(StatusPoll, AMalformedSignalIsReportedAndTheRestOfItsDeliveryReadAtOnce) {
  State().OperatorName = "\"Kestrix Net\"";
  form_->Smeter->SetProgress(7);
  Registration("+CREG: 0,1");
  // One delivery: the broken reply and the final result after it.
  pty_.Write("\r\n+CSQ: 99\r\n\r\nOK\r\n");
  ASSERT_TRUE(Serve([&] { return State().Commands.InFlight() == nullptr; }));
  EXPECT_EQ(reports_.Reports(), (std::vector<std::pair<std::string, std::string>>{
                                    {"Morvel", "'' is not a valid integer value."}}));
  EXPECT_EQ(form_->Smeter->Progress(), 7);
  EXPECT_EQ(Registration("+CREG: 0,1"), "AT+CSQ\r\n");
}

TEST_F(StatusPoll, AnEchoIsShownOnlyAndSwitchesEchoOffAgain) {
  State().OperatorName = "\"Kestrix Net\"";
  AskRegistration();
  // Restarted with its echo on: each command line comes back before its reply.
  Device("AT+CREG?\r\r\n+CREG: 0,1\r\n" + kOk);
  EXPECT_EQ(Sent(), "ATE\r\n");
  Device("ATE\r\r\nOK\r\n");
  EXPECT_EQ(Sent(), "AT+CMGF=1\r\n");
  Device(kOk);
  EXPECT_EQ(Sent(), "AT+CSQ\r\n");
  Device("\r\n+CSQ: 17,99\r\n" + kOk);
  EXPECT_EQ(form_->Smeter->Progress(), 17);
  EXPECT_TRUE(reports_.Reports().empty());
}

}  // namespace
}  // namespace morvel::test
