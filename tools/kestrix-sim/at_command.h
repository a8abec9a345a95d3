// The syntax of an AT command line: the commands it chains ("ATE0+CMEE=1;+CSQ")
// and the comma-separated arguments of one command.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrix {

enum class CommandForm {
  kAction,  // AT+CSQ, ATE1 (basic commands carry their number in `args`)
  kRead,    // AT+CREG?
  kTest,    // AT+CPBR=?
  kSet,     // AT+CPBR=1,10
};

struct AtCommand {
  std::string name;  // upper case: "E", "&F", "S0", "+CPBR"
  CommandForm form = CommandForm::kAction;
  std::string args;  // as sent, after "=" (or a basic command's digits)
};

struct Argument {
  std::string text;
  bool quoted = false;
  bool empty() const { return text.empty() && !quoted; }
};

// True when the line starts with "AT" in any letter case (leading blanks
// allowed); a modem ignores other lines.
bool IsCommandLine(const std::string& line);
// The commands of an AT line; nothing on a syntax error.
std::optional<std::vector<AtCommand>> SplitCommandLine(const std::string& line);
// Arguments split at commas outside double quotes; unquoted ones trimmed.
std::vector<Argument> SplitArguments(const std::string& args);
// The decimal value of an argument, if it is one.
std::optional<int> ToNumber(const Argument& argument);

}  // namespace kestrix
