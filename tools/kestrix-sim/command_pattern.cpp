#include "command_pattern.h"

#include <cctype>

namespace kestrix {

namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The command as a client writes it, without "AT".
std::string Written(const AtCommand& c) {
  bool basic = c.name.empty() || std::string("+#^$%").find(c.name[0]) == std::string::npos;
  switch (c.form) {
    case CommandForm::kAction:
      return c.name + (basic ? c.args : "");
    case CommandForm::kRead:
      return c.name + "?";
    case CommandForm::kTest:
      return c.name + "=?";
    case CommandForm::kSet:
      return c.name + "=" + c.args;
  }
  return c.name;
}

}  // namespace

std::string CommandPattern(const std::string& text) {
  std::string upper = Upper(text);
  if (upper.rfind("AT", 0) == 0) upper.erase(0, 2);
  return upper;
}

bool LineHolds(const std::vector<AtCommand>& commands, const std::string& pattern) {
  for (const AtCommand& c : commands)
    if (c.name == pattern || Upper(Written(c)) == pattern) return true;
  return false;
}

}  // namespace kestrix
