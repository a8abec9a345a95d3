// Which reply lines belong to which command: the final results that end
// every command, the information lines each command is answered with, the
// echo of a command, and the lines a modem sends when it has restarted.
#pragma once

#include <string>

// "OK", "ERROR", "+CME ERROR: n" or "+CMS ERROR: n": the end of an answer.
bool IsFinalResult(const std::string& line);
// A line of the answer to `command` (as written, without its line end).
bool IsInformationFor(const std::string& command, const std::string& line);
// "RDY", "+CPIN: READY", "Call Ready", "SMS Ready": the device has started
// afresh, with its echo on and its settings lost.
bool IsRestartBanner(const std::string& line);
