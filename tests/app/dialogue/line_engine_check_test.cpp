// The line-engine fuzzer's checks, shown able to fail: each runs a script
// that the real dialogue gets through cleanly against a copy of it broken on
// purpose, and must name the break. The command forms as a table.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/dialogue/blocking_wait.h"
#include "app/dialogue/dialogue.h"
#include "line_engine/answer_watch.h"
#include "line_engine/command_forms.h"
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
  PollsWhileAwaited,
  PollsIntoPrompt,
  TextBeforePrompt,
  NeverTimesOut,
  HaltsOnRestart,
  ReportsLost,
};

// The window, where the broken dialogue may also put a listed message's text
// into MASTER1, or have its reports go nowhere.
class BrokenView : public fuzz::RecordingView {
 public:
  using RecordingView::RecordingView;
  void SetFieldText(ConfigField field, const std::string& text) override {
    RecordingView::SetFieldText(field, text);
    if (TextIntoMaster1 && field == ConfigField::SMSText2)
      RecordingView::SetFieldText(ConfigField::MASTER1, text);
  }
  void Report(const std::string& message) override {
    if (!ReportsLost) RecordingView::Report(message);
  }
  bool TextIntoMaster1 = false;
  bool ReportsLost = false;
};
using BrokenBench = fuzz::BasicBench<BrokenView>;

// The real dialogue with one fault put in.
class BrokenDialogue {
  Fault fault_;
  BrokenBench& bench_;
  Dialogue dialogue_;

  bool InFlight(std::string_view prefix) const {
    const QueuedCommand* command = State.Commands.InFlight();
    return command && command->Line.starts_with(prefix);
  }

 public:
  BrokenDialogue(Fault fault, BrokenBench& bench)
      : fault_(fault), bench_(bench), dialogue_(bench.Port, bench.View) {
    bench.View.TextIntoMaster1 = fault == Fault::TextIntoMaster1;
    bench.View.ReportsLost = fault == Fault::ReportsLost;
  }

  DialogueState& State = dialogue_.State;

  void FormCreate() { dialogue_.FormCreate(); }
  void TriggerAvail(WORD count) {
    dialogue_.TriggerAvail(fault_ == Fault::TakesOneMore ? count + 1 : count);
    if (fault_ == Fault::StepWraps)
      State.StepIndex = static_cast<int32_t>(static_cast<uint32_t>(State.StepIndex) + 1u);
    const auto& lines = bench_.View.MonitorLines();
    if (fault_ == Fault::HaltsOnRestart && std::ranges::find(lines, "RDY") != lines.end())
      State.Halted = true;
  }
  void Timer1Timer() {
    if (fault_ == Fault::NeverTimesOut) State.Commands.Alive(State.Ticks + 1);
    dialogue_.Timer1Timer();
    if (fault_ == Fault::MissesMiscounted) State.LinkMissCount += 2;
    if (fault_ == Fault::PollsWithoutPort) bench_.Port.WriteText("AT+CREG?\r\n");
    if (fault_ == Fault::PollsWhileAwaited && InFlight("AT+CMGD="))
      bench_.Port.WriteText("AT+CREG?\r\n");
    if (fault_ == Fault::PollsIntoPrompt && InFlight("AT+CMGW="))
      bench_.Port.WriteText("AT+CSQ\r\n");
    if (fault_ == Fault::TextBeforePrompt && InFlight("AT+CMGW=")) bench_.Port.WriteText("\x1a");
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
  bool ExchangeInProgress() const { return dialogue_.ExchangeInProgress(); }
};

std::vector<std::string> Violations(const std::string& input, Fault fault) {
  const fuzz::Script script = fuzz::ReadScript(input);
  BrokenBench bench(script.PortChosen);
  BrokenDialogue dialogue(fault, bench);
  fuzz::Run(script, dialogue, bench);
  return bench.Checker.Violations();
}

std::string Repeated(const std::string& mark, int times) {
  std::string marks;
  for (int i = 0; i < times; ++i) marks += mark;
  return marks;
}

const std::string kMark = "\xFF";
const std::string kArrive = kMark + "@";
const std::string kTick = kMark + "A";
const std::string kLoadPhone = kMark + "B";
const std::string kDeletePhone = kMark + "D";
const std::string kLoadSms = kMark + "E";
const std::string kSaveSms = kMark + "F";
const std::string kDeleteSms = kMark + "G";
const std::string kClickFirstNode = kMark + "H" + '\0';
const std::string kCancelPort = kMark + "K";
const std::string kAnswer = kMark + "O";
const std::string kNoAnswer = kMark + "N";
const std::string kRefuseAsFailure = kMark + "R" + '\x0D';  // +CMS ERROR: 500
const std::string kRestart = kMark + "Z";
// Echo off and text mode, answered.
const std::string kSession = kAnswer + kAnswer;

TEST(LineEngineCheck, NamesEachBrokenInvariant) {
  SetBlockingWait([](DWORD) {});
  struct Case {
    Fault fault;
    std::string script;
    std::string violation;
  } cases[] = {
      {Fault::NodeTextErased,
       kSession + kLoadPhone + kAnswer + kAnswer + kClickFirstNode + kDeletePhone,
       "not a command of the dialogue: AT+CPBW=1:MASTER1[+436641234567]\\x0D\\x0A"},
      {Fault::TextIntoMaster1,
       kSession + kLoadSms + kNoAnswer +
           "\r\n+CMGL: 2,\"REC READ\",\"+432\",,\r\n+4399887766\r\n\r\nOK\r\n",
       "a listed SMS text reached the phonebook: +4399887766"},
      {Fault::StepWraps,
       kSession + kLoadSms + kNoAnswer +
           "+CMGL: 00000000000000000002147483647,\"REC READ\",\"+432\",,\r\nhi\r\n",
       "StepIndex out of range: -2147483648"},
      {Fault::MissesMiscounted, Repeated(kTick, 4), "LinkMissCount out of range: 12"},
      {Fault::PollsWithoutPort, kCancelPort + kTick,
       "written while no port is chosen: AT+CREG?\\x0D\\x0A"},
      {Fault::TakesOneMore, "OK\r\n", "took a character the notification did not offer"},
      {Fault::PollsWhileAwaited, kSession + kDeleteSms + kTick,
       "written while a final result is awaited for AT+CMGD=1: AT+CREG?\\x0D\\x0A"},
      {Fault::PollsIntoPrompt, kSession + kSaveSms + Repeated(kAnswer, 6) + kTick,
       "command bytes inside a message text: AT+CSQ\\x0D\\x0A"},
      {Fault::TextBeforePrompt, kSession + kSaveSms + Repeated(kAnswer, 6) + kTick,
       "a message text written without its prompt: \\x1A"},
      {Fault::NeverTimesOut, kSession + kLoadPhone + kNoAnswer,
       "an exchange still runs after 40 ticks of a device that answers everything"},
      {Fault::HaltsOnRestart, kSession + kRestart,
       "the buttons stay dead: Load SMSs did not go through in 90 ticks of a device that "
       "answers everything"},
      {Fault::ReportsLost, kSession + kDeleteSms + kRefuseAsFailure,
       "not reported: +CMS ERROR: 500 to AT+CMGD=1"},
      {Fault::ReportsLost, kSession + kDeleteSms + kNoAnswer + Repeated(kTick, 11),
       "not reported: AT+CMGD=1 went unanswered"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.violation);
    EXPECT_EQ(Violations(c.script, Fault::None), std::vector<std::string>{});
    const std::vector<std::string> found = Violations(c.script, c.fault);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found.front(), c.violation);
  }
}

// What the line awaits, at its edges: each case is the dialogue's writes,
// the device's lines, ticks and reports, and what the watch finds wrong.
struct Event {
  enum { Write, Line, Prompt, Ticks, Report, Done } What;
  std::string Text;
  int Count = 0;
};
Event W(std::string bytes) {
  return {Event::Write, std::move(bytes)};
}
Event L(std::string line) {
  return {Event::Line, std::move(line)};
}
Event T(int ticks) {
  return {Event::Ticks, {}, ticks};
}
const Event kPrompt{Event::Prompt, "> "};
const Event kReport{Event::Report, {}};
const Event kDone{Event::Done, {}};

TEST(LineEngineCheck, AwaitsAFinalResultUntilItsTimeLimit) {
  const std::string kAwaitingCsq =
      "written while a final result is awaited for AT+CSQ: AT\\x0D\\x0A";
  const std::pair<std::vector<Event>, std::vector<std::string>> cases[] = {
      {{W("AT+CSQ\r\n"), T(10), W("AT\r\n")}, {kAwaitingCsq}},
      {{W("AT+CSQ\r\n"), T(11), W("AT\r\n")}, {}},
      // Each line is a sign of life; the echo answers nothing.
      {{W("AT+CSQ\r\n"), T(5), L("AT+CSQ"), T(10), W("AT\r\n")}, {kAwaitingCsq}},
      {{W("AT+CSQ\r\n"), L("+CME ERROR:x"), W("AT\r\n")}, {}},
      // A listed message's text is text, even "OK".
      {{W("AT+CMGL=ALL\r\n"), L("+CMGL: 7,\"REC READ\""), L("OK"), W("AT\r\n")},
       {"written while a final result is awaited for AT+CMGL=ALL: AT\\x0D\\x0A"}},
      {{W("\x1b"), T(2), W("AT\r\n")},
       {"written while a final result is awaited for \\x1B: AT\\x0D\\x0A"}},
      {{W("\x1b"), T(3), W("AT\r\n")}, {}},
      // A store's text goes after its prompt; after its time limit, ESC first.
      {{W("AT+CMGW=+43\r\n"), kPrompt, W("hi\x1a"), L("OK")}, {}},
      {{W("AT+CMGW=+43\r\n"), W("hi\x1a")}, {"a message text written without its prompt: hi\\x1A"}},
      {{W("AT+CMGW=+43\r\n"), T(11), kReport, W("AT\r\n")},
       {"command bytes inside a message text: AT\\x0D\\x0A"}},
      {{W("AT+CMGW=+43\r\n"), T(11), kReport, W("\x1b"), T(3), W("AT\r\n")}, {}},
      // A restart answers nothing more and has no prompt open.
      {{W("AT+CMGW=+43\r\n"), L("RDY"), kReport, W("ATE\r\n")}, {}},
      // An exchange's refusal or silence is reported; a listing's may wait
      // for the range question.
      {{W("AT+CMGD=1\r\n"), L("ERROR"), kDone}, {"not reported: ERROR to AT+CMGD=1"}},
      {{W("AT+CMGD=1\r\n"), L("ERROR"), kReport, kDone}, {}},
      {{W("AT+CMGD=1\r\n"), L("+CMS ERROR: 321"), kDone}, {}},
      {{W("AT+CMGD=1\r\n"), T(11), kDone}, {"not reported: AT+CMGD=1 went unanswered"}},
      {{W("AT+CPBR=1,100\r\n"), L("+CME ERROR: 21"), W("ATE\r\n"), L("OK"), W("AT+CPBR=?\r\n")},
       {}},
      {{W("AT+CPBR=1,100\r\n"), L("+CME ERROR: 21"), W("ATE\r\n"), L("OK"), W("AT+CMGL=ALL\r\n")},
       {"not reported: +CME ERROR: 21 to AT+CPBR=1,100"}},
  };
  for (const auto& [events, expected] : cases) {
    std::vector<std::string> found;
    fuzz::AnswerWatch watch(found);
    std::string trace;
    for (const Event& event : events) {
      trace += fuzz::Shown(event.Text) + " ";
      switch (event.What) {
        case Event::Write:
          watch.Written(event.Text);
          break;
        case Event::Line:
          watch.LineEnded(event.Text);
          break;
        case Event::Prompt:
          watch.LineGrew(event.Text);
          break;
        case Event::Ticks:
          for (int tick = 0; tick < event.Count; ++tick) watch.Ticked();
          break;
        case Event::Report:
          watch.Reported();
          break;
        case Event::Done:
          watch.ActionDone();
          break;
      }
    }
    EXPECT_EQ(found, expected) << trace;
  }
}

TEST(LineEngineCheck, KnowsTheDialoguesCommandsAndTheirArguments) {
  fuzz::FieldHistory held;
  for (std::set<std::string>& texts : held) texts.insert("");
  held[config::LineOf(ConfigField::MASTER2)].insert("+4311");
  held[config::LineOf(ConfigField::SERVICE)].insert("0664");
  held[config::LineOf(ConfigField::SERVICE)].insert("0665");  // typed over
  held[config::LineOf(ConfigField::SMSPhone3)].insert("+4322");
  held[config::LineOf(ConfigField::SMStext4)].insert("Credit?");
  // Numbers the device sent: a range "(1-50)", an index 150.
  const std::set<int64_t> deviceNumbers{1, 50, -50, 150};
  const std::pair<std::string, bool> cases[] = {
      {"ATE\r\n", true},
      {"AT+CMGF=1\r\n", true},
      {"AT+CPBR=1,100\r\n", true},
      {"AT+CPBR=?\r\n", true},
      {"AT+CPBR=1,50\r\n", true},  // the SIM's last location
      {"AT+CMGD=6\r\n", true},
      {"AT+CPBW=17\r\n", true},
      {"AT+CPBW=,+4311,145,\"MASTER2\"\r\n", true},
      {"AT+CPBW=,0664,129,\"SERVICE\"\r\n", true},
      {"AT+CPBW=,0665,129,\"SERVICE\"\r\n", true},
      {"AT+CMGW=+4322\r\n", true},
      {"AT+CMGW=\r\n", true},  // an empty slot's number
      {"Credit?\x1a", true},
      {"\x1a", true},  // an empty slot's text
      {"\x1b", true},  // a prompt with no text for it, cancelled
      {"ATE", false},
      {"AT\r\nAT\r\n", false},
      {"AT+CMGF=0\r\n", false},
      {"\x1b\r\n", false},
      {"AT+CPBR=1,49\r\n", false},   // no number the device gave
      {"AT+CPBR=1,150\r\n", false},  // past what a listing asks
      {"AT+CPBR=1,050\r\n", false},
      {"AT+CPBR=2,50\r\n", false},
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
    EXPECT_EQ(fuzz::IsDialogueCommand(bytes, held, deviceNumbers), expected) << bytes;
  }
}

}  // namespace
