// A SIM that waits for its PIN: what needs the SIM is refused until the PIN
// is entered, which nothing here does.
#pragma once

#include <optional>

#include "at_command.h"
#include "command_context.h"

namespace kestrix {

// The refusal of a command that needs the SIM, when it is locked.
std::optional<Result> SimLockRefusal(const SimState& state, const AtCommand& command);

}  // namespace kestrix
