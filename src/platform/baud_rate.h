// Line speed through termios2 (BOTHER), so that any rate the driver accepts
// can be set, not only the fixed Bnnn table of <termios.h>. A file of its own:
// the kernel's termios2 header cannot be included together with <termios.h>.
#pragma once

#include <optional>

#include "platform/win_types.h"

// 0 on success, else errno.
int SetBaudRate(int fd, DWORD baud);
std::optional<DWORD> GetBaudRate(int fd);
