// The modem a line-engine script plays: it takes the dialogue's bytes as a
// modem's command interpreter does (command lines; after a prompt, a message
// text up to Ctrl-Z, or ESC), keeps what it has not answered in the order it
// came, and answers the oldest the way the script says: as it should be,
// never, late, or refused. Like a real modem it answers in order, so an
// answer behind a late one waits for it, and bytes that reach it while its
// prompt is open are message text. Its echo goes out at once.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "line_engine/modem_answers.h"

namespace fuzz {

class ScriptedModem {
 public:
  // The dialogue wrote `bytes`.
  void Receive(std::string_view bytes);

  // What the modem sends when the script says so; empty for nothing.
  std::string Answer();
  std::string Drop();
  std::string Late(int ticks);
  std::string Refuse(int which);
  std::string Unsolicited(int which);
  // Forgets what it was asked, turns echo on and PDU mode, sends its banners.
  std::string Restart();
  // A tick has passed: the late answers now due.
  std::string TickPassed();
  void SetPhonebookSize(int size) { answers_.SetPhonebookSize(size); }
  // Registration state `code` modulo 6, reported as "+CREG: n,..." with n
  // the code divided by 6, modulo 3.
  void SetRegistration(int code);
  // From now on a modem in good order: registered at home, in text mode;
  // the late answers go out at once.
  std::string BehaveWell();

  bool HasUnanswered() const { return !unanswered_.empty(); }

 private:
  enum class Kind { Line, Text, Escape };
  struct Received {
    Kind What = Kind::Line;
    // Every byte that came for it, for its echo.
    std::string Raw;
    // The command line, or the text and the number it is for.
    std::string Line;
    std::string Number;
  };
  enum class How { Answer, Refuse };
  struct Due {
    Received What;
    How Way = How::Answer;
    int Refusal = 0;
    int64_t Tick = 0;
  };
  struct Prompt {
    std::string Number;
    std::string Text;
  };

  void Take(char c);
  std::optional<Received> Oldest();
  std::string EchoOf(const Received& received) const;
  // Answers now, or behind the late answers still to go.
  std::string InTurn(Received received, How way, int refusal);
  std::string Respond(const Received& received, How way, int refusal);
  // What came after the store is now its text.
  void OpenPrompt(const std::string& number);
  std::string DueNow();

  ModemAnswers answers_;
  std::deque<Received> unanswered_;
  std::deque<Due> late_;
  std::string raw_;
  std::string line_;
  std::optional<Prompt> prompt_;
  int64_t ticks_ = 0;
};

}  // namespace fuzz
