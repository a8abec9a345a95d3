// The port as the dialogue sees it, over bytes: the device's arrive in it,
// the dialogue takes them one by one, and every write goes to the checker
// with what the fields have held up to that moment, and to the modem once a port
// is open. The first write with no port chosen opens one, as the window's
// port asks the user; a later one is a fault.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "app/dialogue/dialogue_port.h"
#include "line_engine/invariants.h"
#include "line_engine/recording_view.h"
#include "line_engine/scripted_modem.h"

namespace fuzz {

// What the port raises when the user cancels its choice.
class PortChoiceCancelled : public std::runtime_error {
 public:
  PortChoiceCancelled() : std::runtime_error("no port chosen") {}
};

class RecordingPort : public DialoguePort {
 public:
  RecordingPort(LineEngineChecker& checker, const RecordingView& view, ScriptedModem& modem,
                bool choiceAccepted)
      : checker_(checker), view_(view), modem_(modem), choiceAccepted_(choiceAccepted) {}

  void WriteText(const std::string& text) override;
  char TakeChar() override;
  WORD ComNumber() const override { return comNumber_; }

  // The device's bytes arrive; the count the avail notification offers: all
  // that are unread, the ones a failed handler left included.
  WORD Arrive(const std::string& bytes);
  std::size_t Unread() const { return unread_.size() - taken_; }
  // Everything written, in order.
  const std::vector<std::string>& Written() const { return written_; }

 private:
  LineEngineChecker& checker_;
  const RecordingView& view_;
  ScriptedModem& modem_;
  bool choiceAccepted_;
  bool choiceAsked_ = false;
  WORD comNumber_ = 0;
  // Received and not yet consumed; the first taken_ are read already.
  std::string unread_;
  std::size_t taken_ = 0;
  std::size_t offered_ = 0;
  std::vector<std::string> written_;
};

}  // namespace fuzz
