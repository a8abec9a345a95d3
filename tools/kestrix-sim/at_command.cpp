#include "at_command.h"

#include <cctype>
#include <charconv>

namespace kestrix {

namespace {

bool IsUpper(char c, char letter) {
  return std::toupper(static_cast<unsigned char>(c)) == letter;
}

bool IsDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '!' || c == '%' || c == '-' ||
         c == '.' || c == '/' || c == ':' || c == '_';
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::size_t SkipBlanks(const std::string& body, std::size_t at) {
  while (at < body.size() && body[at] == ' ') ++at;
  return at;
}

// The end of an extended command's arguments: the next ";" outside quotes.
std::size_t ArgumentsEnd(const std::string& body, std::size_t at) {
  bool quoted = false;
  for (; at < body.size(); ++at) {
    if (body[at] == '"') quoted = !quoted;
    if (body[at] == ';' && !quoted) break;
  }
  return at;
}

std::size_t ParseExtended(const std::string& body, std::size_t at, AtCommand& command) {
  std::size_t start = at++;
  while (at < body.size() && IsNameChar(body[at])) ++at;
  command.name = Upper(body.substr(start, at - start));
  if (body.compare(at, 2, "=?") == 0) {
    command.form = CommandForm::kTest;
    at += 2;
  } else if (at < body.size() && body[at] == '?') {
    command.form = CommandForm::kRead;
    ++at;
  } else if (at < body.size() && body[at] == '=') {
    command.form = CommandForm::kSet;
    std::size_t end = ArgumentsEnd(body, at + 1);
    command.args = body.substr(at + 1, end - at - 1);
    at = end;
  }
  at = SkipBlanks(body, at);
  if (at < body.size() && body[at] == ';') ++at;
  return at;
}

std::size_t TakeDigits(const std::string& body, std::size_t at, std::string& digits) {
  std::size_t start = at;
  while (at < body.size() && IsDigit(body[at])) ++at;
  digits = body.substr(start, at - start);
  return at;
}

std::size_t ParseBasic(const std::string& body, std::size_t at, AtCommand& command) {
  char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(body[at++])));
  if (letter == 'D') {  // dial: the rest of the line is the dial string
    command.name = "D";
    command.args = body.substr(at);
    return body.size();
  }
  if (letter == 'S') {
    std::string reg;
    at = TakeDigits(body, at, reg);
    command.name = "S" + reg;
    if (at < body.size() && body[at] == '?') {
      command.form = CommandForm::kRead;
      return at + 1;
    }
    if (at < body.size() && body[at] == '=') {
      command.form = CommandForm::kSet;
      return TakeDigits(body, at + 1, command.args);
    }
    return at;
  }
  command.name = std::string(1, letter);
  if (letter == '&' && at < body.size()) {
    command.name += static_cast<char>(std::toupper(static_cast<unsigned char>(body[at++])));
  }
  return TakeDigits(body, at, command.args);
}

}  // namespace

bool IsCommandLine(const std::string& line) {
  std::size_t at = SkipBlanks(line, 0);
  return line.size() >= at + 2 && IsUpper(line[at], 'A') && IsUpper(line[at + 1], 'T');
}

std::optional<std::vector<AtCommand>> SplitCommandLine(const std::string& line) {
  if (!IsCommandLine(line)) return std::nullopt;
  std::string body = line.substr(SkipBlanks(line, 0) + 2);
  std::vector<AtCommand> commands;
  std::size_t at = SkipBlanks(body, 0);
  while (at < body.size()) {
    AtCommand command;
    char c = body[at];
    if (c == '+' || c == '#' || c == '^' || c == '$' || c == '%') {
      at = ParseExtended(body, at, command);
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '&') {
      at = ParseBasic(body, at, command);
      // Strictly only extended commands end in ";", but modems take it here too.
      at = SkipBlanks(body, at);
      if (at < body.size() && body[at] == ';') ++at;
    } else {
      return std::nullopt;
    }
    commands.push_back(command);
    at = SkipBlanks(body, at);
  }
  return commands;
}

std::vector<Argument> SplitArguments(const std::string& args) {
  std::vector<Argument> out;
  Argument current;
  bool inQuotes = false;
  std::string bare;
  auto close = [&] {
    if (!current.quoted) {
      std::size_t first = bare.find_first_not_of(' ');
      std::size_t last = bare.find_last_not_of(' ');
      current.text = first == std::string::npos ? "" : bare.substr(first, last - first + 1);
    }
    out.push_back(current);
    current = Argument{};
    bare.clear();
  };
  for (char c : args) {
    if (inQuotes) {
      if (c == '"') {
        inQuotes = false;
      } else {
        current.text += c;
      }
    } else if (c == '"') {
      inQuotes = true;
      current.quoted = true;
    } else if (c == ',') {
      close();
    } else if (!current.quoted) {
      bare += c;
    }
  }
  if (!args.empty()) close();
  return out;
}

std::optional<int> ToNumber(const Argument& argument) {
  const std::string& t = argument.text;
  if (argument.quoted || t.empty()) return std::nullopt;
  int value = 0;
  auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (error != std::errc() || end != t.data() + t.size()) return std::nullopt;
  return value;
}

}  // namespace kestrix
