// The device's error replies, and the report of a command it refused in the
// middle of an exchange: which command, and what the device said.
#pragma once

#include <stdexcept>
#include <string>

// Raised when the device refuses an exchange's command; the standard error
// report shows it.
class EDeviceRefusal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "ERROR", or a phone ("+CME ERROR: ...") or message service
// ("+CMS ERROR: ...") error.
bool IsErrorResult(const std::string& line);
// The device's words, for the common codes their meaning, and the command.
std::string RefusalText(const std::string& command, const std::string& line);
