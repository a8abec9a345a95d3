// Runs a script against a dialogue: the start, then each action as the
// window would raise it, then a modem in good order for a while: every
// exchange must have ended by then, and Load SMSs must go through again (the
// buttons never stay dead). An error the dialogue raises ends that handler
// and the run goes on, as the window's standard error report lets it; any
// other exception escapes. The dialogue is a template parameter so that a
// test can run a deliberately broken one through the same checks.
#pragma once

#include <algorithm>
#include <cstddef>

#include "line_engine/invariants.h"
#include "line_engine/recording_port.h"
#include "line_engine/recording_view.h"
#include "line_engine/script.h"
#include "line_engine/scripted_modem.h"
#include "runtime/convert_error.h"

namespace fuzz {

// Ticks of a modem in good order after the script for every exchange to
// end; then for Load SMSs to go through, as long as the slowest way back
// takes: the link bar runs out (27), the registration query goes out (9),
// and three in a row go unanswered before ESC (12 each).
constexpr int kSettleTicks = 40;
constexpr int kRecoveryTicks = 90;
// Answers in a row within one tick, so that a dialogue that never stops
// writing cannot hold up the run; no exchange takes nearly as many.
constexpr int kMostAnswersInATick = 200;

// The checker, the window, the modem and the port one run of a script
// drives; a test may give it a window of its own making.
template <class ViewType>
struct BasicBench {
  explicit BasicBench(bool portChosen) : View(Checker), Port(Checker, View, Modem, portChosen) {}

  LineEngineChecker Checker;
  ViewType View;
  ScriptedModem Modem;
  RecordingPort Port;
};
using Bench = BasicBench<RecordingView>;

// The dialogue's own errors end the handler and are reported; anything else
// escapes, and the fuzzer reports it.
template <class Handler>
void AsTheWindowDoes(Handler handler) {
  try {
    handler();
  } catch (const EConvertError&) {
  } catch (const PortChoiceCancelled&) {
  }
}

// The device's bytes arrive, and the port offers what is unread until the
// dialogue has taken it all, as the dispatcher notifies again while unread
// bytes wait: also the rest of an arrival whose handler failed. Nothing
// arrives without an open port.
template <class Dialogue, class Bench>
void Deliver(const std::string& bytes, Dialogue& dialogue, Bench& bench) {
  if (bench.Port.ComNumber() == 0) return;
  for (WORD count = bench.Port.Arrive(bytes); count != 0; count = bench.Port.Arrive({})) {
    const std::size_t unread = bench.Port.Unread();
    AsTheWindowDoes([&] { dialogue.TriggerAvail(count); });
    bench.Checker.ActionDone();
    // A notification that takes nothing would be offered again for ever.
    if (bench.Port.Unread() == unread) break;
  }
}

// A timer tick; the modem's late answers due then follow it.
template <class Dialogue, class Bench>
void Tick(Dialogue& dialogue, Bench& bench) {
  bench.Checker.Ticked();
  AsTheWindowDoes([&] { dialogue.Timer1Timer(); });
  bench.Checker.ActionDone();
  Deliver(bench.Modem.TickPassed(), dialogue, bench);
}

template <class Dialogue, class Bench>
void Act(const Action& action, Dialogue& dialogue, Bench& bench) {
  // The buttons are clickable only while enabled.
  const bool clickable = bench.View.ButtonsEnabled();
  ScriptedModem& modem = bench.Modem;
  switch (action.What) {
    case Step::Arrive:
      return Deliver(action.Bytes, dialogue, bench);
    case Step::Tick:
      return Tick(dialogue, bench);
    case Step::LoadPhone:
      if (clickable) dialogue.LoadPHONEClick();
      break;
    case Step::SavePhone:
      if (clickable) dialogue.SavePhoneClick();
      break;
    case Step::DeletePhone:
      if (clickable) dialogue.ButtonDeletePhoneClick();
      break;
    case Step::LoadSms:
      if (clickable) dialogue.ButtonLoadSMSClick();
      break;
    case Step::SaveSms:
      if (clickable) dialogue.ButtonSaveSMSClick();
      break;
    case Step::DeleteSms:
      if (clickable) dialogue.ButtonDeleteSMSClick();
      break;
    case Step::ClickNode:
      if (bench.View.ClickNode(action.Number)) dialogue.ViewTree();
      break;
    case Step::ClickField:
      bench.View.ClearSelection();
      break;
    case Step::TypeField:
      bench.View.SetFieldText(config::FieldAt(action.Number % config::kConfigFieldCount),
                              action.Bytes);
      break;
    case Step::Answer:
      return Deliver(modem.Answer(), dialogue, bench);
    case Step::Drop:
      return Deliver(modem.Drop(), dialogue, bench);
    case Step::Late:
      return Deliver(modem.Late(action.Number), dialogue, bench);
    case Step::Refuse:
      return Deliver(modem.Refuse(action.Number), dialogue, bench);
    case Step::Unsolicited:
      return Deliver(modem.Unsolicited(action.Number), dialogue, bench);
    case Step::Restart:
      return Deliver(modem.Restart(), dialogue, bench);
    case Step::SimSize:
      return modem.SetPhonebookSize(action.Number);
    case Step::Registration:
      return modem.SetRegistration(action.Number);
  }
}

// The modem answers everything it was asked, and what that leads to.
template <class Dialogue, class Bench>
void AnswerAll(Dialogue& dialogue, Bench& bench) {
  for (int answers = 0; answers < kMostAnswersInATick && bench.Modem.HasUnanswered(); ++answers)
    Deliver(bench.Modem.Answer(), dialogue, bench);
}

// After the script, a modem in good order: every exchange ends, and Load
// SMSs, pressed whenever the buttons allow, lists the messages without a
// word to the user.
template <class Dialogue, class Bench>
void Settle(Dialogue& dialogue, Bench& bench) {
  if (bench.Port.ComNumber() == 0) return;
  Deliver(bench.Modem.BehaveWell(), dialogue, bench);
  for (int tick = 0; tick < kSettleTicks; ++tick) {
    AnswerAll(dialogue, bench);
    Tick(dialogue, bench);
  }
  AnswerAll(dialogue, bench);
  if (dialogue.ExchangeInProgress()) {
    bench.Checker.Violation("an exchange still runs after " + std::to_string(kSettleTicks) +
                            " ticks of a device that answers everything");
    return;
  }
  const std::size_t reports = bench.View.Reports().size();
  const std::size_t written = bench.Port.Written().size();
  for (int tick = 0; tick < kRecoveryTicks; ++tick) {
    if (bench.View.ButtonsEnabled()) {
      AsTheWindowDoes([&] { dialogue.ButtonLoadSMSClick(); });
      bench.Checker.ActionDone();
    }
    AnswerAll(dialogue, bench);
    const auto& sent = bench.Port.Written();
    const bool listed =
        std::find(sent.begin() + written, sent.end(), "AT+CMGL=ALL\r\n") != sent.end();
    if (listed && !dialogue.ExchangeInProgress()) {
      if (bench.View.Reports().size() == reports) return;
      break;
    }
    Tick(dialogue, bench);
  }
  bench.Checker.Violation("the buttons stay dead: Load SMSs did not go through in " +
                          std::to_string(kRecoveryTicks) +
                          " ticks of a device that answers everything");
}

template <class Dialogue, class Bench>
void Run(const Script& script, Dialogue& dialogue, Bench& bench) {
  bench.Checker.Watch(dialogue.State);
  AsTheWindowDoes([&] { dialogue.FormCreate(); });
  bench.Checker.ActionDone();
  for (const Action& action : script.Actions) {
    AsTheWindowDoes([&] { Act(action, dialogue, bench); });
    bench.Checker.ActionDone();
  }
  Settle(dialogue, bench);
  bench.Checker.Finished();
}

}  // namespace fuzz
