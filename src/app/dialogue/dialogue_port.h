// What the device dialogue needs of the serial port: the characters it
// takes, the commands it writes and whether a port is chosen. The window
// implements it over its port component; a test or a fuzzer over bytes.
#pragma once

#include <string>

#include "platform/win_types.h"

class DialoguePort {
 public:
  virtual ~DialoguePort() = default;

  // Writes the whole text. The first write opens the port, asking the user
  // for one when none is chosen; a cancelled choice or a failed open raises.
  virtual void WriteText(const std::string& text) = 0;
  // The next received character; the avail count says how many there are.
  virtual char TakeChar() = 0;
  // 0 while no port is chosen.
  virtual WORD ComNumber() const = 0;
};
