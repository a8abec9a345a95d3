#include "command_faults.h"

#include "command_pattern.h"

namespace kestrix {

namespace {

bool AnyHeld(const std::set<std::string>& patterns, const std::vector<AtCommand>& commands) {
  for (const std::string& pattern : patterns)
    if (LineHolds(commands, pattern)) return true;
  return false;
}

}  // namespace

CommandFaults::CommandFaults(const Faults& faults)
    : faults_(faults),
      lost_(faults.lose.size()),
      restarted_(faults.restartAt.size()),
      unsolicitedSent_(faults.unsolicitedAt.size()),
      delivered_(faults.incomingAt.size()) {}

bool CommandFaults::FirstTime(std::vector<bool>& fired, std::size_t entry,
                              const std::string& pattern, const std::vector<AtCommand>& commands) {
  if (fired[entry] || !LineHolds(commands, pattern)) return false;
  fired[entry] = true;
  return true;
}

LineFaults CommandFaults::ForLine(int number, const std::vector<AtCommand>& commands) {
  LineFaults line;
  line.ignore = AnyHeld(faults_.ignore, commands);
  line.fail = AnyHeld(faults_.fail, commands);
  for (std::size_t i = 0; i < faults_.lose.size(); ++i)
    line.lose = FirstTime(lost_, i, faults_.lose[i], commands) || line.lose;
  for (std::size_t i = 0; i < faults_.restartAt.size(); ++i)
    line.restart = FirstTime(restarted_, i, faults_.restartAt[i], commands) || line.restart;
  for (const Unsolicited& u : faults_.unsolicited)
    if (u.afterCommand == number) line.unsolicited.push_back(u.line);
  for (std::size_t i = 0; i < faults_.unsolicitedAt.size(); ++i) {
    const UnsolicitedAt& u = faults_.unsolicitedAt[i];
    if (FirstTime(unsolicitedSent_, i, u.command, commands)) line.unsolicited.push_back(u.line);
  }
  for (std::size_t i = 0; i < faults_.incomingAt.size(); ++i) {
    const IncomingMessage& m = faults_.incomingAt[i];
    if (FirstTime(delivered_, i, m.command, commands)) line.incoming.push_back(m);
  }
  line.hangUp = faults_.hangupAfter > 0 && number >= faults_.hangupAfter;
  return line;
}

}  // namespace kestrix
