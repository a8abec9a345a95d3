#include "platform/port_map.h"

#include <strings.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>

namespace {

struct DefaultRange {
  unsigned first;
  unsigned last;
  const char* prefix;
};

// The fixed table for ports without an entry in the port folder.
constexpr DefaultRange kDefaultTable[] = {
    {1, 8, "/dev/ttyS"},
    {9, 24, "/dev/ttyUSB"},
    {25, 40, "/dev/ttyACM"},
    {41, 50, "/dev/ttyAMA"},
};

std::optional<std::string> FolderEntry(unsigned n) {
  namespace fs = std::filesystem;
  std::string wanted = "com" + std::to_string(n);
  std::error_code error;
  // Error codes throughout: a folder that fails half-way is a missing entry,
  // not an exception out of an open.
  for (fs::directory_iterator it(PortFolder(), error), end; !error && it != end;
       it.increment(error)) {
    const fs::directory_entry& entry = *it;
    std::string name = entry.path().filename().string();
    if (strcasecmp(name.c_str(), wanted.c_str()) != 0) continue;
    // The device the link names, so that messages and tooltips show it; a
    // dangling link stays as it is and fails to open as a missing device.
    fs::path device = fs::canonical(entry.path(), error);
    return error ? entry.path().string() : device.string();
  }
  return std::nullopt;
}

}  // namespace

std::string PortFolder() {
  if (const char* ports = std::getenv("MORVEL_PORTS"); ports != nullptr && *ports != '\0') {
    return ports;
  }
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != '\0') {
    return std::string(config) + "/morvel/ports";
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.config/morvel/ports";
}

std::optional<std::string> ComPortDevicePath(unsigned n) {
  if (n == 0) return std::nullopt;
  if (auto entry = FolderEntry(n)) return entry;
  for (const auto& range : kDefaultTable) {
    if (n >= range.first && n <= range.last) {
      return std::string(range.prefix) + std::to_string(n - range.first);
    }
  }
  return std::nullopt;
}

std::optional<unsigned> ComNumberFromName(const std::string& name) {
  std::string rest = name;
  if (rest.rfind("\\\\.\\", 0) == 0) rest = rest.substr(4);
  if (rest.size() < 4 || strncasecmp(rest.c_str(), "COM", 3) != 0) return std::nullopt;
  unsigned long n = 0;
  for (size_t i = 3; i < rest.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(rest[i]))) return std::nullopt;
    n = n * 10 + static_cast<unsigned long>(rest[i] - '0');
    if (n > 0xFFFFFFFFul) return std::nullopt;
  }
  if (n == 0) return std::nullopt;
  return static_cast<unsigned>(n);
}

std::string ComPortName(unsigned n) {
  return "\\\\.\\COM" + std::to_string(n);
}
