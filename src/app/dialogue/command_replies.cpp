#include "app/dialogue/command_replies.h"

#include <array>
#include <utility>

#include "app/dialogue/device_refusal.h"

namespace {

// Each query's command and the start of the lines that answer it.
constexpr std::array<std::pair<const char*, const char*>, 9> kInformation{{
    {"AT+CPBR=", "+CPBR:"},
    {"AT+CMGL=", "+CMGL:"},
    {"AT+CMGW=", "+CMGW:"},
    {"AT+CSCA?", "+CSCA:"},
    {"AT+CREG?", "+CREG:"},
    {"AT+CSQ", "+CSQ:"},
    {"AT+COPS?", "+COPS:"},
    {"AT+CAMM?", "+CAMM:"},
    {"AT+CACM?", "+CACM:"},
}};

constexpr std::array<const char*, 4> kBanners{"RDY", "+CPIN: READY", "Call Ready", "SMS Ready"};

}  // namespace

bool IsFinalResult(const std::string& line) {
  return line == "OK" || IsErrorResult(line);
}

bool IsInformationFor(const std::string& command, const std::string& line) {
  for (const auto& [sent, answer] : kInformation) {
    if (command.starts_with(sent)) return line.starts_with(answer);
  }
  return false;
}

bool IsRestartBanner(const std::string& line) {
  for (const char* banner : kBanners) {
    if (line == banner) return true;
  }
  return false;
}
