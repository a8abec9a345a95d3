// The whole mapping between a DCB and the tty's termios: one small function
// per setting, settings read back after applying them. Fields Linux cannot
// express (XON/XOFF limits, DSR flow, the line-control modes) stay in the DCB
// the device keeps; only what termios holds is applied here.
#pragma once

#include "platform/serial.h"

// Puts a freshly opened tty into raw mode, keeping its line settings, and
// describes those settings as a DCB. ERROR_SUCCESS or an error number.
DWORD MakeRawAndDescribe(int fd, DCB* dcb);

// Applies the settings of `dcb`, then reads them back. When the driver took
// only part of them the previous settings are restored and the result is
// ERROR_INVALID_PARAMETER. ERROR_SUCCESS or an error number.
DWORD ApplyDcb(int fd, const DCB& dcb);
