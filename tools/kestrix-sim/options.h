// The command line of kestrix-sim.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim_state.h"

namespace kestrix {

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Options {
  bool help = false;
  std::optional<unsigned> com;  // place comN in the port folder
  std::string tty;              // serve this device instead of a new pty
  std::string stateFile;
  std::string saveStateFile;
  std::string logFile;
  int baud = 0;  // 0: unpaced
  // Faults given as flags; they replace those of the state file.
  std::optional<std::vector<std::size_t>> splitAt;
  std::optional<unsigned> splitRandomSeed;
  std::optional<int> fragmentGapMs;
  std::optional<int> delayMs;
  std::vector<std::string> ignore;
  std::vector<std::string> fail;
  std::vector<Unsolicited> unsolicited;
  std::optional<int> registration;
  std::optional<int> hangupAfter;
  std::optional<int> simWriteMs;
  std::vector<std::string> lose;
  std::vector<UnsolicitedAt> unsolicitedAt;
  std::vector<IncomingMessage> incomingAt;
  std::vector<std::string> restartAt;
  std::optional<int> restartMs;
  // How the device starts, replacing the state file's power_up.
  bool pduAtStart = false;
  bool simPin = false;
  std::optional<int> cmee;
  std::optional<int> cregReports;
  std::optional<int> phonebookSize;
};

// Throws UsageError with a message fit for the user.
Options ParseOptions(const std::vector<std::string>& args);
// Throws UsageError when a flag does not fit the state (a phonebook size
// below a location in use).
void ApplyFaultOptions(const Options& options, SimState& state);
std::string UsageText();

}  // namespace kestrix
