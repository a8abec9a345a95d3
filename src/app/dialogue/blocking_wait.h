// The dialogue's pauses before a follow-up command: they block the
// user-interface thread on purpose, so the device has settled before the
// next command. All of them go through here.
#pragma once

#include "platform/win_types.h"

void BlockingWait(DWORD milliseconds);
