// What must hold whatever the device sends: every byte written is one of the
// dialogue's commands, its arguments taken from the fields, the tree or an
// index, and written only when the line is free for it (answer_watch.h); no
// listed SMS text reaches the phonebook; the step counters stay in range;
// nothing is written while no port is chosen. Fed by the recording port and
// view as the dialogue acts; keeps every violation it sees.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/dialogue/dialogue_state.h"
#include "line_engine/answer_watch.h"
#include "line_engine/command_forms.h"

namespace fuzz {

class LineEngineChecker {
 public:
  // The state whose counters are checked.
  void Watch(const DialogueState& state) { state_ = &state; }

  void Written(std::string_view bytes, const FieldHistory& held);
  void WrittenWithoutPort(std::string_view bytes);
  // A character the dialogue took from the port, in the device's order.
  void Taken(char c);
  // A timer tick is about to reach the dialogue.
  void Ticked() { answers_.Ticked(); }
  // The dialogue told the user something.
  void Reported() { answers_.Reported(); }
  // A phonebook field, the centre or the tree got `text` from the dialogue.
  void PhonebookChanged(std::string_view text);
  // Between lines: the counters must be in range.
  void Settled();
  // Between actions: the same, no device line is being handled any more,
  // and what had to be reported was.
  void ActionDone();
  // The run is over: nothing is left unreported.
  void Finished() { answers_.Finished(); }
  void Violation(std::string what) { violations_.push_back(std::move(what)); }

  const std::vector<std::string>& Violations() const { return violations_; }

 private:
  const DialogueState* state_ = nullptr;
  std::vector<std::string> violations_;
  AnswerWatch answers_{violations_};
  std::string line_;
  bool handlingListedText_ = false;
  // Every number the device has sent, as the dialogue may have taken it.
  std::set<int64_t> deviceNumbers_;
};

}  // namespace fuzz
