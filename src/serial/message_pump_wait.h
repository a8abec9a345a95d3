// Waiting for a thread's end while serving the calling thread's messages, so
// a thread blocked sending a message to one of our windows can finish.
#pragma once

#include "platform/win_types.h"

namespace ser {

// Waits until `handle` is signalled or `milliseconds` pass (INFINITE: no
// limit), running sent messages and dispatching posted ones one at a time; a
// WM_QUIT is posted again instead of dispatched. WAIT_OBJECT_0 when
// signalled, WAIT_TIMEOUT, or WAIT_FAILED when the handle cannot be waited on.
DWORD WaitPumpingMessages(HANDLE handle, DWORD milliseconds);

}  // namespace ser
