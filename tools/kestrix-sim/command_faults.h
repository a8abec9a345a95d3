// The faults tied to command lines: which of them a line sets off. Those
// named after a command fire at the first line holding it, once each.
#pragma once

#include <string>
#include <vector>

#include "at_command.h"
#include "sim_state.h"

namespace kestrix {

struct LineFaults {
  bool ignore = false;                    // no answer, the command is not run
  bool fail = false;                      // ERROR, the command is not run
  bool lose = false;                      // the command runs, its answer is never sent
  bool restart = false;                   // the device restarts instead of answering
  std::vector<std::string> unsolicited;   // lines sent after the answer
  std::vector<IncomingMessage> incoming;  // messages received after it
  bool hangUp = false;                    // after all of that
};

class CommandFaults {
 public:
  explicit CommandFaults(const Faults& faults);
  // The faults of command line `number` (counted from 1), whose commands
  // are given; a line that is no valid command line has none.
  LineFaults ForLine(int number, const std::vector<AtCommand>& commands);

 private:
  // True the first time an entry's command is on a line.
  bool FirstTime(std::vector<bool>& fired, std::size_t entry, const std::string& pattern,
                 const std::vector<AtCommand>& commands);

  const Faults& faults_;
  std::vector<bool> lost_;
  std::vector<bool> restarted_;
  std::vector<bool> unsolicitedSent_;
  std::vector<bool> delivered_;
};

}  // namespace kestrix
