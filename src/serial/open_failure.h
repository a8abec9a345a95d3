// What a failed open of the line is reported as: a device another program
// holds is "already open", a missing one a bad id, and one this user may not
// open names the device and the group that may. The port component and the
// command line both report it so, in the same words.
#pragma once

#include <string>

namespace ser {

// The line open's result code as the port reports it.
int OpenResultCode(int openLineResult);

// Raises EPermissionDenied for the device the last refused open concerned,
// or for `devicePath` when the platform did not say.
[[noreturn]] void RaisePermissionDenied(const std::string& devicePath);

// Raises the exception of a failed open's result (negative) as the port
// reports it: OpenResultCode's class, the permission refusal above.
[[noreturn]] void RaiseOpenFailure(int openLineResult, const std::string& devicePath);

}  // namespace ser
