// How faults name commands: "+CSQ" or "AT+CSQ" stands for every +CSQ
// command, "+CMGD=3", "+CREG?" or "E0" for that form with those arguments
// only. Letter case does not matter.
#pragma once

#include <string>
#include <vector>

#include "at_command.h"

namespace kestrix {

// The pattern as the faults keep it: upper case, without a leading "AT".
std::string CommandPattern(const std::string& text);
// True when one of the commands of a line is the one the pattern names.
bool LineHolds(const std::vector<AtCommand>& commands, const std::string& pattern);

}  // namespace kestrix
