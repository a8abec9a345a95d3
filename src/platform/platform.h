// The whole platform layer: Win32-style calls over POSIX.
#pragma once

#include "clock.h"
#include "device_presence.h"
#include "errors.h"
#include "messages.h"
#include "port_listing.h"
#include "port_map.h"
#include "serial.h"
#include "sync.h"
#include "threads.h"
#include "version.h"
#include "win_types.h"
