// The device's command interpreter: takes the bytes a client sends, echoes
// them, runs each command line through the handler table and hands back the
// replies, with the faults the state asks for. No I/O of its own.
#pragma once

#include <string>
#include <string_view>

#include "command_context.h"
#include "command_line_parser.h"
#include "command_log.h"
#include "sim_state.h"

namespace kestrix {

// Where the modem's output goes; the transport decides how it reaches the wire.
class ModemOutput {
 public:
  virtual ~ModemOutput() = default;
  virtual void Echo(const std::string& bytes) = 0;   // sent at once
  virtual void Reply(const std::string& bytes) = 0;  // one reply: faults may delay or split it
  virtual void HangUp() = 0;
};

class Modem {
 public:
  // `log` may be null.
  Modem(SimState& state, ModemOutput& output, CommandLog* log);
  void Feed(std::string_view bytes);

 private:
  void Handle(const CommandLineParser::Completed& done);
  void RunLine(const std::string& line);
  std::string Render(const Result& result);
  void AfterCommand();

  SimState& state_;
  ModemOutput& output_;
  CommandLog* log_;
  SessionSettings settings_;
  CommandLineParser parser_;
  int commandCount_ = 0;
  bool hungUp_ = false;
};

}  // namespace kestrix
