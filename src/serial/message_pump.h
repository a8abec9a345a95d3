// Serving the calling thread's message queue: one message at a time, and
// while waiting for a handle, so a thread blocked sending a message to one of
// our windows can finish.
#pragma once

#include "platform/win_types.h"

namespace ser {

// Runs this thread's pending sent messages, then takes at most one posted
// message: a WM_QUIT is posted again (a wait is not woken by it, so nothing
// spins), any other message is translated and dispatched. Never waits.
void PumpOneMessage();

// Waits until `handle` is signalled or `milliseconds` pass (INFINITE: no
// limit), pumping one message at a time whenever one arrives. WAIT_OBJECT_0
// when signalled, WAIT_TIMEOUT, or WAIT_FAILED when the handle cannot be
// waited on.
DWORD WaitPumpingMessages(HANDLE handle, DWORD milliseconds);

}  // namespace ser
