// The device's command interpreter: takes the bytes a client sends, echoes
// them, runs each command line through the handler table and hands back the
// replies, with the faults the state asks for. Like a real modem it may be
// busy for a while (a slow SIM write, a restart): what arrives meanwhile
// waits and is handled afterwards, in order. No I/O of its own; the
// transport tells it the time.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_context.h"
#include "command_faults.h"
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
  using Clock = std::chrono::steady_clock;
  // Input waiting beyond this makes the device stop taking more.
  static constexpr std::size_t kMaxWaiting = 1 << 16;

  // `log` may be null.
  Modem(SimState& state, ModemOutput& output, CommandLog* log);
  // Bytes received at `now`.
  void Feed(std::string_view bytes, Clock::time_point now);
  // Ends a busy spell that is over at `now`: its replies go out, then what
  // arrived meanwhile is handled.
  void Tick(Clock::time_point now);
  // When the current busy spell ends; nothing while the device is idle.
  std::optional<Clock::time_point> BusyUntil() const;
  // False while much input waits: the transport then leaves the rest with
  // the sender, as a modem's flow control does.
  bool WantsInput() const { return waiting_.size() < kMaxWaiting; }

 private:
  // Replies held back until the device is done, and the faults that follow.
  struct Busy {
    Clock::time_point until;
    std::vector<std::string> replies;
    LineFaults after;
    bool restarting = false;  // input is dropped meanwhile, as by a booting module
  };
  struct Answered {
    std::string reply;
    bool simWrite = false;
  };

  void Take(char byte, Clock::time_point now);
  void Handle(const CommandLineParser::Completed& done, Clock::time_point now);
  void HandleLine(const CommandLineParser::Completed& done, Clock::time_point now);
  Answered RunLine(const std::vector<AtCommand>& commands);
  std::string Render(const Result& result);
  void Answer(std::string reply, bool simWrite, LineFaults after, Clock::time_point now);
  void Restart(LineFaults after, Clock::time_point now);
  void Finish(const LineFaults& after);

  SimState& state_;
  ModemOutput& output_;
  CommandLog* log_;
  SessionSettings settings_;
  CommandLineParser parser_;
  CommandFaults faults_;
  int commandCount_ = 0;
  bool hungUp_ = false;
  std::optional<Busy> busy_;
  std::string waiting_;
};

}  // namespace kestrix
