// The dialogue's port: the window's port component, as far as the dialogue
// uses it.
#pragma once

#include <string>

#include "app/dialogue/dialogue_port.h"
#include "serial/ui/com_port.h"

class ComPortLink : public DialoguePort {
 public:
  explicit ComPortLink(TSerCustomComPort& port) : port_(port) {}

  void WriteText(const std::string& text) override { port_.WriteText(text); }
  char TakeChar() override { return port_.TakeChar(); }
  WORD ComNumber() const override { return port_.ComNumber(); }

 private:
  TSerCustomComPort& port_;
};
