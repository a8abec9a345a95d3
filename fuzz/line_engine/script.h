// A line-engine script: the bytes the device sends, in arrivals, between the
// things the user does, and marks that have a modem (device_model.h) answer
// the commands the dialogue writes. Every byte is the device's except 0xFF,
// which starts a mark: 0xFF 0xFF is the device's own 0xFF, 0xFF and a letter
// an action. So the seeds read as the replies they are, with a few marks
// between them.
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
  // The modem and the oldest command it has not answered:
  Answer,        // answered as it should be
  Drop,          // never answered
  Late,          // answered after Number ticks
  Refuse,        // refused with refusal Number
  Unsolicited,   // unsolicited line Number sent first
  Restart,       // the modem restarts: banners, echo on, PDU mode
  SimSize,       // its SIM has Number phonebook locations (0: 250)
  Registration,  // it reports registration code Number
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

// The marks after 0xFF: '@' arrival, 'A' tick, 'B' to 'G' the six dialogue
// buttons in the order of Step, 'H' and a byte a node click, 'I' a field
// click, 'J', a field byte, a length byte and the text typing into a field.
// The modem's: 'O' answer, 'N' no answer, 'L' and a byte a late answer,
// 'R' and a byte a refusal, 'U' and a byte an unsolicited line, 'Z' a
// restart, 'S' and a byte the phonebook's size, 'V' and a byte the
// registration. Any other code counts by its value modulo 16 as the mark
// that many letters after '@' up to 'J', and as an arrival beyond, so that
// older scripts keep their meaning. A modem's mark first lets the device's
// bytes before it arrive. The bytes still unsent at the end arrive last.
Script ReadScript(std::string_view input);

}  // namespace fuzz
