// A line-engine script: the bytes the device sends, in arrivals, between the
// things the user does. Every byte is the device's except 0xFF, which starts
// a mark: 0xFF 0xFF is the device's own 0xFF, 0xFF and a letter an action.
// So the seeds read as the replies they are, with a few marks between them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

enum class Step {
  Arrive,  // the device's bytes since the last arrival reach the dialogue
  Tick,
  LoadPhone,
  SavePhone,
  DeletePhone,
  LoadSms,
  SaveSms,
  DeleteSms,
  ClickNode,   // a node of the tree, by number
  ClickField,  // into a phonebook field, which leaves no node selected
  TypeField,   // one of the 21 fields, by number, gets a text
};

struct Action {
  Step What = Step::Arrive;
  // The device's bytes (Arrive) or the text typed (TypeField).
  std::string Bytes;
  int Number = 0;
};

struct Script {
  // The user cancels the port choice at start: the script begins with the
  // mark 0xFF 'K'.
  bool PortChosen = true;
  std::vector<Action> Actions;
};

// The marks after 0xFF, by their code modulo 16: '@' arrival, 'A' tick,
// 'B' to 'G' the six dialogue buttons in the order of Step, 'H' and a byte
// a node click, 'I' a field click, 'J', a field byte, a length byte and the
// text typing into a field; the other codes are arrivals too. The bytes
// still unsent at the end arrive last.
Script ReadScript(std::string_view input);

}  // namespace fuzz
