// Storing a message: AT+CMGW opens the prompt, the text (or PDU) that the
// client then sends up to Ctrl-Z completes it.
#pragma once

#include <optional>
#include <string>

#include "command_context.h"

namespace kestrix {

// The lowest index free for a new message, if any.
std::optional<int> FirstFreeIndex(const MessageStore& store);
// Stores what the client entered after the prompt and reports its index.
Result FinishMessageWrite(CommandContext& ctx, const std::string& entered);

}  // namespace kestrix
