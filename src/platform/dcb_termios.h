// The whole mapping between a DCB and the tty's termios: one small function
// per setting, settings read back after applying them. Fields termios has no
// place for (XON/XOFF limits, the DTR and RTS levels) stay in the DCB the
// device keeps; only what termios holds is applied here.
#pragma once

#include "platform/serial.h"

// Puts a freshly opened tty into raw mode without flow control, keeping its
// line settings, and describes those settings as a DCB. `changed` tells
// whether the tty's settings had to change. ERROR_SUCCESS or an error number.
DWORD MakeRawAndDescribe(int fd, DCB* dcb, bool* changed);

// Applies the settings of `dcb`, then reads them back; a tty that already
// has them is not touched (`changed` false). When the driver took only part
// of them the previous settings are restored and the result is
// ERROR_INVALID_PARAMETER. ERROR_SUCCESS or an error number.
DWORD ApplyDcb(int fd, const DCB& dcb, bool* changed);
