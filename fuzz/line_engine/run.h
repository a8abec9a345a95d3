// Runs a script against a dialogue: the start, then each action as the
// window would raise it. An error the dialogue raises ends that handler and
// the run goes on, as the window's standard error report lets it; any other
// exception escapes. The dialogue is a template parameter so that a test can
// run a deliberately broken one through the same checks.
#pragma once

#include "line_engine/invariants.h"
#include "line_engine/recording_port.h"
#include "line_engine/recording_view.h"
#include "line_engine/script.h"
#include "runtime/convert_error.h"

namespace fuzz {

// The checker, the window and the port one run of a script drives; a test
// may give it a window of its own making.
template <class ViewType>
struct BasicBench {
  explicit BasicBench(bool portChosen) : View(Checker), Port(Checker, View, portChosen) {}

  LineEngineChecker Checker;
  ViewType View;
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

template <class Dialogue, class Bench>
void Act(const Action& action, Dialogue& dialogue, Bench& bench) {
  // The buttons are clickable only while enabled.
  const bool clickable = bench.View.ButtonsEnabled();
  switch (action.What) {
    case Step::Arrive:
      Deliver(action.Bytes, dialogue, bench);
      break;
    case Step::Tick:
      dialogue.Timer1Timer();
      break;
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
  }
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
}

}  // namespace fuzz
