// A short message arriving from the network while the device runs. It is
// stored in the SIM, unread, as a modem that routes new messages to the SIM
// does, and announced with +CMTI.
#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "sim_state.h"

namespace kestrix {

// Stores the message at the lowest free index, received at `now` (local
// time); the "+CMTI" line announcing it, or nothing when the store is full
// (the network keeps it, as a real one would, and nothing is said).
std::optional<std::string> Receive(MessageStore& store, const IncomingMessage& incoming,
                                   std::time_t now);

}  // namespace kestrix
