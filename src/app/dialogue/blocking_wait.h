// The dialogue's pauses before a follow-up command: they block the
// user-interface thread on purpose, so the device has settled before the
// next command. All of them go through here.
#pragma once

#include "platform/win_types.h"

void BlockingWait(DWORD milliseconds);

// What BlockingWait does; the platform's sleep unless replaced. A soak test
// that runs a day of polling puts a recorder here instead of sleeping for
// real; returns the one it replaces.
using WaitFunction = void (*)(DWORD milliseconds);
WaitFunction SetBlockingWait(WaitFunction wait);
