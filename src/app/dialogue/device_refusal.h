// The device's error replies, and the report of a command it refused:
// which command, and what the device said.
#pragma once

#include <string>

// "ERROR", or a phone ("+CME ERROR: ...") or message service
// ("+CMS ERROR: ...") error.
bool IsErrorResult(const std::string& line);
// The refusals that mean there is nothing at the index or in the store.
bool MeansEmpty(const std::string& line);
// The device's words, for the common codes their meaning, and the command.
std::string RefusalText(const std::string& command, const std::string& line);
