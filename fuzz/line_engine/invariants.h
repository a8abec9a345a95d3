// What must hold whatever the device sends: every byte written is one of the
// dialogue's commands, its arguments taken from the fields, the tree or an
// index; no listed SMS text reaches the phonebook; the step counters stay in
// range; nothing is written while no port is chosen. Fed by the recording
// port and view as the dialogue acts; keeps every violation it sees.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/dialogue/dialogue_state.h"
#include "config/config_fields.h"

namespace fuzz {

// One of the dialogue's command forms, with the field arguments as the
// fields hold them now.
bool IsDialogueCommand(std::string_view bytes, const config::ConfigTexts& fields);

class LineEngineChecker {
 public:
  // The state whose counters are checked.
  void Watch(const DialogueState& state) { state_ = &state; }

  void Written(std::string_view bytes, const config::ConfigTexts& fields);
  void WrittenWithoutPort(std::string_view bytes);
  // A character the dialogue took from the port, in the device's order.
  void Taken(char c);
  // A phonebook field, the centre or the tree got `text` from the dialogue.
  void PhonebookChanged(std::string_view text);
  // Between lines: the counters must be in range.
  void Settled();
  // Between actions: the same, and no device line is being handled any more.
  void ActionDone();
  void Violation(std::string what) { violations_.push_back(std::move(what)); }

  const std::vector<std::string>& Violations() const { return violations_; }

 private:
  void LineEnded();

  const DialogueState* state_ = nullptr;
  std::string line_;
  bool lastWasHeader_ = false;
  bool handlingListedText_ = false;
  // Every number the device has sent, as the dialogue may have taken it.
  std::set<int64_t> deviceNumbers_;
  std::vector<std::string> violations_;
};

}  // namespace fuzz
