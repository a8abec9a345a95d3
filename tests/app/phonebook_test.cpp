// The phonebook exchange on the real window: the exact commands of Load,
// Save and Delete on the line, what listing lines put into the tree and the
// fields, and the tree's page switch.
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "form_on_pty.h"

namespace morvel::test {
namespace {

using Field = QLineEdit* TForm1::*;
constexpr Field kNumberFields[] = {&TForm1::MASTER1, &TForm1::MASTER2, &TForm1::MASTER3,
                                   &TForm1::MASTER4, &TForm1::MASTER5, &TForm1::MASTER6,
                                   &TForm1::MASTER7, &TForm1::MASTER8, &TForm1::SERVICE};
const std::string kList = "AT+CPBR=1,100\r\n";

// The filler command that only draws an OK, `n` times.
std::string Fillers(int n) {
  std::string out;
  while (n-- > 0) out += "AT\r\n";
  return out;
}

class Phonebook : public FormOnPty {
 protected:
  Phonebook() { form_->SetDialogueButtonsEnabled(true); }

  QStringList Fields() const {
    QStringList texts;
    for (Field field : kNumberFields) texts << (form_.get()->*field)->text();
    return texts << form_->SMSCentrum->text();
  }
  QStringList Tree() const {
    QStringList nodes;
    for (int i = 0; i < form_->TreeView1->topLevelItemCount(); ++i)
      nodes << form_->TreeView1->topLevelItem(i)->text(0);
    return nodes;
  }
  // Loads `entries` and answers the centre query that follows.
  void Load(const std::string& entries) {
    form_->LoadPHONE->click();
    EXPECT_EQ(SentThrough(kList), kList);
    Device(entries + kOk);
    EXPECT_EQ(SentThrough("\r\n"), "AT+CSCA?\r\n");
    Device("\r\n+CSCA: \"+436640501\",145" + kOk);
  }
  // Plays a device that answers every command with OK, up to the listing.
  std::string ChainAnsweredWithOk() {
    std::string sent;
    for (int i = 0; i < 30; ++i) {
      const std::string command = SentThrough("\r\n");
      sent += command;
      if (command.empty() || command == kList) break;
      Device(kOk);
    }
    return sent;
  }
};

TEST_F(Phonebook, LoadListsThenAsksForTheCentre) {
  form_->MASTER5->setText("+435");
  Load("\r\n+CPBR: 1,\"+436641234567\",145,\"MASTER1\"\r\n+CPBR: 9,\"+4399\",145,\"SMSCentrum\"");
  EXPECT_EQ(Tree(), (QStringList{"1:MASTER1[+436641234567]", "9:SMSCentrum[+4399]"}));
  EXPECT_EQ(Fields(), (QStringList{"+436641234567", "", "", "", "", "", "", "", "", "+436640501"}));
  EXPECT_EQ(State().SimIndex, (std::array<int32_t, kTagCount>{1, 0, 0, 0, 0, 0, 0, 0, 0, 9}));
  EXPECT_EQ(SentAfterwards(), "");
}

struct Listed {
  std::string line;
  QString node;  // appended to the tree; empty for none
  int slot;      // the field and SimIndex slot it sets; -1 for none
  QString text = {};
  int32_t location = 0;
};

TEST_F(Phonebook, ListingLinesFillTheTreeTheFieldsOfTheirTagsAndTheLocations) {
  const Listed table[] = {
      {"+CPBR: 4,\"+43664555\",145,\"IO\"", "", -1},
      {"+CPBR: 5,\"+431\",145,\"Home\"", "5:Home[+431]", -1},
      {"+CPBR: 6,\"+432\",145,\"master1\"", "6:master1[+432]", -1},
      {"+CPBR:  2 ,\"+433\",145,\"MASTER1\"", "2:MASTER1[+433]", 0, "+433", 2},
      {"+CPBR: 1,\"+434\",129,\"MASTER1\"", "1:MASTER1[+434]", 0, "+434", 1},
      {"+CPBR: 3,\"0123456789012345\",129,\"SERVICE\"", "3:SERVICE[0123456789012345]", 8,
       "0123456789012", 3},
      {"+CPBR: 7,\"+4399\",145,\"SMSCentrum\"", "7:SMSCentrum[+4399]", 9, "+4399", 7},
      // An entry, whatever its name holds.
      {"+CPBR: 8,\"+438\",145,\"My+CSCA\"", "8:My+CSCA[+438]", -1},
  };
  form_->LoadPHONE->click();
  SentThrough(kList);
  QStringList tree;
  QStringList fields(10);
  std::array<int32_t, kTagCount> simIndex{};
  for (const Listed& row : table) {
    SCOPED_TRACE(row.line);
    Device(row.line + "\r\n");
    if (!row.node.isEmpty()) tree << row.node;
    if (row.slot >= 0) {
      fields[row.slot] = row.text;
      simIndex[row.slot] = row.location;
    }
    EXPECT_EQ(Tree(), tree);
    EXPECT_EQ(Fields(), fields);
    EXPECT_EQ(State().SimIndex, simIndex);
  }
  EXPECT_TRUE(reports_.Reports().empty());
  // A known tag needs a number for its location; the node is already there.
  pty_.Write("+CPBR: 1x,\"+435\",145,\"MASTER2\"\r\n");
  ASSERT_TRUE(Serve([&] { return !reports_.Reports().empty(); }));
  EXPECT_EQ(reports_.Reports().front(),
            (std::pair<std::string, std::string>{"Morvel", "'1x' is not a valid integer value."}));
  EXPECT_EQ(Tree().last(), "1x:MASTER2[+435]");
  EXPECT_EQ(form_->MASTER2->text(), "");
  EXPECT_EQ(State().SimIndex[1], 0);
}

TEST_F(Phonebook, SaveErasesTheKnownEntriesThenWritesEveryFieldThenListsWithoutTheCentre) {
  Load("\r\n+CPBR: 1,\"+436641234567\",145,\"MASTER1\"\r\n+CPBR: 7,\"+431\",145,\"SERVICE\"");
  form_->MASTER2->setText("+436649876543");
  form_->SERVICE->clear();
  form_->SavePhone->click();
  EXPECT_EQ(ChainAnsweredWithOk(),
            "AT+CPBW=1\r\nAT+CPBW=7\r\nAT\r\n"
            "AT+CPBW=,+436641234567,145,\"MASTER1\"\r\n"
            "AT+CPBW=,+436649876543,145,\"MASTER2\"\r\n" +
                Fillers(7) + kList);
  EXPECT_TRUE(Tree().isEmpty());
  EXPECT_FALSE(State().PhoneWritePending);
  EXPECT_TRUE(form_->DeviceDialogue().ExchangeInProgress());
  Device("\r\n+CPBR: 2,\"+436641234567\",145,\"MASTER1\"" + kOk);
  EXPECT_FALSE(form_->DeviceDialogue().ExchangeInProgress());
  EXPECT_EQ(Tree(), QStringList{"2:MASTER1[+436641234567]"});
  EXPECT_EQ(SentAfterwards(), "");
}

TEST_F(Phonebook, SaveWithEveryFieldEmptyErasesTheCentreEntryTooAndWritesNothing) {
  Load("\r\n+CPBR: 2,\"+433\",145,\"MASTER3\"\r\n+CPBR: 5,\"+4399\",145,\"SMSCentrum\"");
  form_->MASTER3->clear();
  form_->SavePhone->click();
  EXPECT_EQ(ChainAnsweredWithOk(), "AT+CPBW=2\r\nAT+CPBW=5\r\n" + Fillers(10) + kList);
}

TEST_F(Phonebook, SaveWithoutALoadOnlyAddsAndNeedsAReadyDevice) {
  form_->MASTER8->setText("+438");
  // National: as international it would come back as +06641112223.
  form_->SERVICE->setText("06641112223");
  State().DeviceReady = false;
  form_->SavePhone->click();
  EXPECT_EQ(SentAfterwards(), "");
  State().DeviceReady = true;
  form_->SavePhone->click();
  EXPECT_EQ(ChainAnsweredWithOk(), Fillers(8) + "AT+CPBW=,+438,145,\"MASTER8\"\r\n" +
                                       "AT+CPBW=,06641112223,129,\"SERVICE\"\r\n" + kList);
}

TEST_F(Phonebook, LoadWhileBusyCancelsTheChainAndSendsNothing) {
  Load("\r\n+CPBR: 1,\"+431\",145,\"MASTER1\"");
  form_->SavePhone->click();
  EXPECT_EQ(SentThrough("\r\n"), "AT+CPBW=1\r\n");
  form_->LoadPHONE->click();
  EXPECT_FALSE(State().PhoneErasePending || State().PhoneWritePending);
  Device(kOk);
  EXPECT_EQ(SentAfterwards(), "");
}

TEST_F(Phonebook, ARefusedWriteIsReportedAndTheChainGoesOnUntouchedByThePoll) {
  form_->MASTER1->setText("+431");
  form_->MASTER2->setText("+432");
  form_->MASTER3->setText("+433");
  form_->SavePhone->click();
  std::string sent = SentThrough("\r\n");
  for (int write = 1; write <= 3; ++write) {
    Device(kOk);
    sent += SentThrough("\r\n");
  }
  EXPECT_EQ(sent,
            "AT\r\nAT+CPBW=,+431,145,\"MASTER1\"\r\nAT+CPBW=,+432,145,\"MASTER2\"\r\n"
            "AT+CPBW=,+433,145,\"MASTER3\"\r\n");
  // The poll's query falls due meanwhile: it waits for the write's answer,
  // and its own answer moves nothing of the chain.
  State().LinkMissCount = 9;
  Tick();
  Device("\r\n+CME ERROR: 20\r\n");
  EXPECT_EQ(SentThrough("\r\n"), "AT+CREG?\r\n");
  Device("\r\n+CREG: 0,1" + kOk);
  EXPECT_EQ(SentThrough("\r\n"), "AT\r\n");
  EXPECT_EQ(State().StepIndex, 4);
  Device(kOk);
  EXPECT_EQ(SentThrough("\r\n"), "AT+COPS?\r\n");
  Device(kOk);
  EXPECT_EQ(SentThrough("\r\n"), "AT\r\n");
  EXPECT_EQ(State().StepIndex, 5);
  EXPECT_EQ(
      reports_.Reports(),
      (std::vector<std::pair<std::string, std::string>>{
          {"Morvel",
           "The device answered +CME ERROR: 20 (memory full) to AT+CPBW=,+433,145,\"MASTER3\"."}}));
}

struct Refused {
  const char* what;
  std::vector<std::pair<std::string, std::string>> exchange;  // sent, then answered
  QStringList tree;
  std::string report;  // empty for none
};

TEST_F(Phonebook, ARefusedListingIsReportedOrAskedAgainWithinTheSimsRange) {
  const std::string entry = "\r\n+CPBR: 3,\"+433\",145,\"MASTER3\"\r\n";
  const Refused cases[] = {
      {"a SIM of 50 locations",
       {{kList, "\r\n+CME ERROR: 21\r\n"},
        {"AT+CPBR=?\r\n", "\r\n+CPBR: (1-50),20,14\r\n" + kOk},
        {"AT+CPBR=1,50\r\n", entry + kOk},
        {"AT+CSCA?\r\n", kOk}},
       {"3:MASTER3[+433]"},
       ""},
      {"then listed within its range at once",
       {{"AT+CPBR=1,50\r\n", entry + kOk}, {"AT+CSCA?\r\n", kOk}},
       {"3:MASTER3[+433]"},
       ""},
  };
  const Refused others[] = {
      {"an empty phonebook", {{kList, "\r\n+CME ERROR: 22\r\n"}, {"AT+CSCA?\r\n", kOk}}, {}, ""},
      {"a range that was not the reason",
       {{kList, "\r\nERROR\r\n"},
        {"AT+CPBR=?\r\n", "\r\n+CPBR: (1-250),20,14\r\n" + kOk},
        {"AT+CSCA?\r\n", kOk}},
       {},
       "The device answered ERROR to AT+CPBR=1,100."},
      {"another refusal",
       {{kList, "\r\n+CME ERROR: 10\r\n"}, {"AT+CSCA?\r\n", "\r\n+CMS ERROR: 330\r\n"}},
       {},
       "The device answered +CME ERROR: 10 (SIM not inserted) to AT+CPBR=1,100."},
  };
  auto run = [&](const Refused& c) {
    SCOPED_TRACE(c.what);
    const size_t before = reports_.Reports().size();
    form_->LoadPHONE->click();
    for (const auto& [command, answer] : c.exchange) EXPECT_EQ(Answer(command, answer), command);
    EXPECT_EQ(Tree(), c.tree);
    EXPECT_FALSE(form_->DeviceDialogue().ExchangeInProgress());
    if (c.report.empty()) {
      EXPECT_EQ(reports_.Reports().size(), before);
    } else {
      ASSERT_GT(reports_.Reports().size(), before);
      EXPECT_EQ(reports_.Reports()[before].second, c.report);
    }
  };
  for (const Refused& c : cases) run(c);
  // A new session forgets the range: the SIM may be another one.
  form_->DeviceDialogue().Restart();
  Answer("ATE\r\n", kOk);
  Answer("AT+CMGF=1\r\n", kOk);
  for (const Refused& c : others) run(c);
  // The centre refused: said too.
  EXPECT_EQ(reports_.Reports().back().second,
            "The device answered +CMS ERROR: 330 (SMSC address unknown) to AT+CSCA?.");
}

TEST_F(Phonebook, AReplyJoinedToTheRestOfABrokenOneIsLoaded) {
  form_->Monitor->clear();
  form_->LoadPHONE->click();
  EXPECT_EQ(SentThrough(kList), kList);
  // No blank line between the replies: the rest of the broken one joins the next.
  pty_.Write(
      "+CPBR: 1,\"+431\",145,\"MASTER1\"\r\n+CPBR: 1x,\"+435\",145,\"MASTER2\"\r\n"
      "+CPBR: 2,\"+43\",145,\"MASTER3\"\r\n+CPBR: 4,\"+439\",145,\"SERVICE\"\r\nOK\r\n");
  // What the failed handler did not take is read at once.
  EXPECT_EQ(SentThrough("\r\n"), "AT+CSCA?\r\n");
  EXPECT_EQ(MonitorLines().mid(0, 4),
            (QStringList{"+CPBR: 1,\"+431\",145,\"MASTER1\"", "+CPBR: 1x,\"+435\",145,\"MASTER2\"",
                         "MASTER2\"+CPBR: 2,\"+43\",145,\"MASTER3\"",
                         "+CPBR: 4,\"+439\",145,\"SERVICE\""}));
  EXPECT_EQ(Tree(), (QStringList{"1:MASTER1[+431]", "1x:MASTER2[+435]", "2:MASTER3[+43]",
                                 "4:SERVICE[+439]"}));
  EXPECT_EQ(Fields(), (QStringList{"+431", "", "+43", "", "", "", "", "", "+439", ""}));
  EXPECT_EQ(State().SimIndex, (std::array<int32_t, kTagCount>{1, 0, 2, 0, 0, 0, 0, 0, 4, 0}));
  EXPECT_EQ(reports_.Reports().size(), 1u);
}

TEST_F(Phonebook, LoadLeavesTheCentreToTheCentreReply) {
  form_->SMSCentrum->setText("+4311");
  form_->LoadPHONE->click();
  EXPECT_EQ(SentThrough(kList), kList);
  Device("\r\n+CPBR: 1,\"+431\",145,\"MASTER1\"" + kOk);
  EXPECT_EQ(form_->SMSCentrum->text(), "+4311");
  EXPECT_EQ(SentThrough("\r\n"), "AT+CSCA?\r\n");
  Device("\r\n+CSCA: \"+436640501\",145" + kOk);
  EXPECT_EQ(form_->SMSCentrum->text(), "+436640501");
}

TEST_F(Phonebook, DeleteErasesTheSelectedLocationAndListsOnceAnsweredReadyOrNot) {
  Load("\r\n+CPBR: 1,\"+431\",145,\"MASTER1\"\r\n+CPBR: 3,\"+432\",145,\"MASTER2\"");
  form_->ButtonDeletePhone->click();
  form_->TreeView1->topLevelItem(1)->setSelected(true);
  QTest::mouseClick(form_->MASTER3, Qt::LeftButton);
  form_->ButtonDeletePhone->click();
  EXPECT_EQ(SentAfterwards(), "");
  form_->TreeView1->topLevelItem(1)->setSelected(true);
  State().DeviceReady = false;
  form_->ButtonDeletePhone->click();
  EXPECT_EQ(Answer("AT+CPBW=3\r\n", kOk), "AT+CPBW=3\r\n");
  EXPECT_EQ(SentThrough(kList), kList);
  EXPECT_TRUE(Tree().isEmpty());
  EXPECT_EQ(Fields(), (QStringList{"", "", "", "", "", "", "", "", "", "+436640501"}));
  EXPECT_EQ(State().SimIndex, (std::array<int32_t, kTagCount>{}));
}

TEST_F(Phonebook, ClickingANodeNamedAfterAPageShowsThatPage) {
  form_->show();
  const std::pair<const char*, int> table[] = {
      {"SMS", 1}, {"MONITOR", 1}, {"TabSheet1", 2}, {"3:PHONE[+43]", 2}, {"PHONE", 0}};
  for (const auto& [node, page] : table) {
    form_->ClearTree();
    form_->AddTreeNode(node);
    QTreeWidget* tree = form_->TreeView1;
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualItemRect(tree->topLevelItem(0)).center());
    EXPECT_EQ(form_->PageControl1->currentIndex(), page) << node;
  }
}

}  // namespace
}  // namespace morvel::test
