#include "cli/port_choice.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "platform/port_map.h"

namespace {

namespace fs = std::filesystem;

constexpr unsigned kLargestComNumber = 65535;

// "COM3", "com3" or "3".
std::optional<unsigned> ComNumberIn(const std::string& text) {
  std::string digits = text;
  if (strncasecmp(text.c_str(), "COM", 3) == 0) digits = text.substr(3);
  if (digits.empty() || digits.size() > 5 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(c); })) {
    return std::nullopt;
  }
  const unsigned n = static_cast<unsigned>(std::stoul(digits));
  if (n == 0 || n > kLargestComNumber) return std::nullopt;
  return n;
}

std::optional<PortChoice> Choose(const std::string& text) {
  if (std::optional<unsigned> n = ComNumberIn(text)) {
    const std::string label = "COM" + std::to_string(*n);
    const std::string name = ComPortName(*n);
    return PortChoice{label, name, ComPortDevicePath(*n).value_or(name), label};
  }
  if (text.find('/') == std::string::npos) return std::nullopt;
  std::error_code error;
  const fs::path absolute = fs::absolute(text, error);
  if (error) return std::nullopt;
  const fs::path device = fs::canonical(absolute, error);
  return PortChoice{text, absolute.string(), error ? absolute.string() : device.string(),
                    absolute.filename().string()};
}

}  // namespace

PortChoices ChoosePorts(const std::vector<std::string>& arguments) {
  PortChoices chosen;
  for (const std::string& text : arguments) {
    std::optional<PortChoice> port = Choose(text);
    if (!port) {
      chosen.Mistake = "--port " + text + ": not COMn, a number or a device path";
      return chosen;
    }
    for (const PortChoice& earlier : chosen.Ports) {
      if (earlier.DevicePath == port->DevicePath) {
        chosen.Mistake = "--port " + text + " and --port " + earlier.Label + " name one device";
        return chosen;
      }
      // The files made per port are named by it.
      if (earlier.FileStem == port->FileStem) {
        chosen.Mistake = "--port " + text + " and --port " + earlier.Label + " end in one name";
        return chosen;
      }
    }
    chosen.Ports.push_back(*port);
  }
  return chosen;
}
