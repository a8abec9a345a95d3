// The line-engine fuzzer's checks, shown able to fail: each runs a script
// that the real dialogue gets through cleanly against a copy of it broken on
// purpose, and must name the break. The command forms as a table.
#include <gtest/gtest.h>

#include "app/dialogue/blocking_wait.h"
#include "app/dialogue/dialogue.h"
#include "app/dialogue/reply_text.h"
#include "line_engine/run.h"

namespace {

using config::ConfigField;

enum class Fault {
  None,
  NodeTextErased,
  TextIntoMaster1,
  StepWraps,
  MissesMiscounted,
  PollsWithoutPort,
  TakesOneMore,
};

// The window, where the broken dialogue may also put a listed message's text
// into MASTER1.
class BrokenView : public fuzz::RecordingView {
 public:
  using RecordingView::RecordingView;
  void SetFieldText(ConfigField field, const std::string& text) override {
    RecordingView::SetFieldText(field, text);
    if (TextIntoMaster1 && field == ConfigField::SMSText2)
      RecordingView::SetFieldText(ConfigField::MASTER1, text);
  }
  bool TextIntoMaster1 = false;
};
using BrokenBench = fuzz::BasicBench<BrokenView>;

// The real dialogue with one fault put in.
class BrokenDialogue {
  Fault fault_;
  BrokenBench& bench_;
  Dialogue dialogue_;

 public:
  BrokenDialogue(Fault fault, BrokenBench& bench)
      : fault_(fault), bench_(bench), dialogue_(bench.Port, bench.View) {
    bench.View.TextIntoMaster1 = fault == Fault::TextIntoMaster1;
  }

  DialogueState& State = dialogue_.State;

  void FormCreate() { dialogue_.FormCreate(); }
  void TriggerAvail(WORD count) {
    dialogue_.TriggerAvail(fault_ == Fault::TakesOneMore ? count + 1 : count);
    if (fault_ == Fault::StepWraps)
      State.StepIndex = static_cast<int32_t>(static_cast<uint32_t>(State.StepIndex) + 1u);
  }
  void Timer1Timer() {
    dialogue_.Timer1Timer();
    if (fault_ == Fault::MissesMiscounted) State.LinkMissCount += 2;
    if (fault_ == Fault::PollsWithoutPort) bench_.Port.WriteText("AT+CREG?\r\n");
  }
  void LoadPHONEClick() { dialogue_.LoadPHONEClick(); }
  void SavePhoneClick() { dialogue_.SavePhoneClick(); }
  void ButtonDeletePhoneClick() {
    if (fault_ != Fault::NodeTextErased) return dialogue_.ButtonDeletePhoneClick();
    bench_.Port.WriteText("AT+CPBW=" + *bench_.View.SelectedNodeText() + "\r\n");
  }
  void ViewTree() { dialogue_.ViewTree(); }
  void ButtonLoadSMSClick() { dialogue_.ButtonLoadSMSClick(); }
  void ButtonSaveSMSClick() { dialogue_.ButtonSaveSMSClick(); }
  void ButtonDeleteSMSClick() { dialogue_.ButtonDeleteSMSClick(); }
};

std::vector<std::string> Violations(const std::string& input, Fault fault) {
  const fuzz::Script script = fuzz::ReadScript(input);
  BrokenBench bench(script.PortChosen);
  BrokenDialogue dialogue(fault, bench);
  fuzz::Run(script, dialogue, bench);
  return bench.Checker.Violations();
}

const std::string kMark = "\xFF";
const std::string kArrive = kMark + "@";
const std::string kTick = kMark + "A";
const std::string kDeletePhone = kMark + "D";
const std::string kClickFirstNode = kMark + "H" + '\0';
const std::string kCancelPort = kMark + "K";

TEST(LineEngineCheck, NamesEachBrokenInvariant) {
  SetBlockingWait([](DWORD) {});
  struct Case {
    Fault fault;
    std::string script;
    std::string violation;
  } cases[] = {
      {Fault::NodeTextErased,
       "+CPBR: 3,\"+431\",145,\"MASTER1\"\r\n" + kArrive + kClickFirstNode + kDeletePhone,
       "not a command of the dialogue: AT+CPBW=3:MASTER1[+431]\\x0D\\x0A"},
      {Fault::TextIntoMaster1, "+CMGL: 2,\"REC READ\",\"+432\",,\r\n+4399887766\r\nOK\r\n",
       "a listed SMS text reached the phonebook: +4399887766"},
      {Fault::StepWraps, "+CMGL: 00000000000000000002147483647,\"REC READ\",\"+432\",,\r\nhi\r\n",
       "StepIndex out of range: -2147483648"},
      {Fault::MissesMiscounted, kTick + kTick + kTick + kTick, "LinkMissCount out of range: 12"},
      {Fault::PollsWithoutPort, kCancelPort + kTick,
       "written while no port is chosen: AT+CREG?\\x0D\\x0A"},
      {Fault::TakesOneMore, "OK\r\n", "took a character the notification did not offer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.violation);
    EXPECT_EQ(Violations(c.script, Fault::None), std::vector<std::string>{});
    const std::vector<std::string> found = Violations(c.script, c.fault);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found.front(), c.violation);
  }
}

TEST(LineEngineCheck, KnowsTheDialoguesCommandsAndTheirArguments) {
  config::ConfigTexts fields{};
  fields[config::LineOf(ConfigField::MASTER2)] = "+4311";
  fields[config::LineOf(ConfigField::SERVICE)] = "0664";
  fields[config::LineOf(ConfigField::SMSPhone3)] = "+4322";
  fields[config::LineOf(ConfigField::SMStext4)] = "Credit?";
  const std::pair<std::string, bool> cases[] = {
      {"ATE\r\n", true},
      {"AT+CPBR=1,100\r\n", true},
      {"AT+CMGD=6\r\n", true},
      {"AT+CPBW=17\r\n", true},
      {"AT+CPBW=,+4311,145,\"MASTER2\"\r\n", true},
      {"AT+CPBW=,0664,129,\"SERVICE\"\r\n", true},
      {"AT+CMGW=+4322\r\n", true},
      {"AT+CMGW=\r\n", true},  // an empty slot's number
      {"Credit?\x1a", true},
      {"\x1a", true},  // an empty slot's text
      {"\x1b", true},  // a prompt with no text for it, cancelled
      {"ATE", false},
      {"AT\r\nAT\r\n", false},
      {"AT+CMGD=7\r\n", false},
      {"AT+CMGD=-2147483648\r\n", false},
      {"AT+CPBW=1;+CMGD=1\r\n", false},
      {"AT+CPBW=\r\n", false},
      {"AT+CPBW=,+4311,129,\"MASTER2\"\r\n", false},
      {"AT+CPBW=,+4311,145,\"MASTER1\"\r\n", false},
      {"AT+CPBW=,,129,\"MASTER1\"\r\n", false},
      {"AT+CMGW=+4311\r\n", false},
      {"+4399887766\x1a", false},
      {"\x1b\x1b", false},
  };
  for (const auto& [bytes, expected] : cases) {
    EXPECT_EQ(fuzz::IsDialogueCommand(bytes, fields), expected) << bytes;
  }
}

}  // namespace
