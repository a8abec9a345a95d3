// Serves the device end of the line: bytes in to the modem, its output out
// through the output queue, until a stop signal, a hang-up fault, or the
// line going away. Sleeps in poll whenever there is nothing to do.
#pragma once

#include "command_log.h"
#include "device_endpoint.h"
#include "sim_state.h"

namespace kestrix {

enum class ServeEnd {
  kStopped,   // the stop descriptor became readable (a signal)
  kHungUp,    // the hang-up fault fired
  kLineGone,  // the device reported an error or hang-up (unplugged)
};

// `stopFd` is a descriptor that becomes readable when the device must end.
ServeEnd Serve(DeviceEndpoint& endpoint, SimState& state, CommandLog* log, int baud, int stopFd);

}  // namespace kestrix
