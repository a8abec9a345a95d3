#include "app/dialogue/device_refusal.h"

#include <array>

#include "app/dialogue/reply_text.h"

namespace {

constexpr char kPhoneError[] = "+CME ERROR:";
constexpr char kMessageError[] = "+CMS ERROR:";

struct ErrorCode {
  const char* Family;
  const char* Code;
  const char* Meaning;
};

// The codes a SIM phonebook or message store commonly answers with; a device
// set to verbose errors sends the words itself.
constexpr std::array<ErrorCode, 32> kMeanings{{
    {kPhoneError, "0", "phone failure"},
    {kPhoneError, "3", "operation not allowed"},
    {kPhoneError, "4", "operation not supported"},
    {kPhoneError, "10", "SIM not inserted"},
    {kPhoneError, "11", "SIM PIN required"},
    {kPhoneError, "13", "SIM failure"},
    {kPhoneError, "14", "SIM busy"},
    {kPhoneError, "15", "SIM wrong"},
    {kPhoneError, "20", "memory full"},
    {kPhoneError, "21", "invalid index"},
    {kPhoneError, "22", "not found"},
    {kPhoneError, "23", "memory failure"},
    {kPhoneError, "24", "text string too long"},
    {kPhoneError, "25", "invalid characters in text string"},
    {kPhoneError, "26", "dial string too long"},
    {kPhoneError, "27", "invalid characters in dial string"},
    {kPhoneError, "30", "no network service"},
    {kPhoneError, "100", "unknown"},
    {kMessageError, "300", "ME failure"},
    {kMessageError, "302", "operation not allowed"},
    {kMessageError, "303", "operation not supported"},
    {kMessageError, "304", "invalid PDU mode parameter"},
    {kMessageError, "305", "invalid text mode parameter"},
    {kMessageError, "310", "SIM not inserted"},
    {kMessageError, "311", "SIM PIN required"},
    {kMessageError, "313", "SIM failure"},
    {kMessageError, "314", "SIM busy"},
    {kMessageError, "320", "memory failure"},
    {kMessageError, "321", "invalid memory index"},
    {kMessageError, "322", "memory full"},
    {kMessageError, "330", "SMSC address unknown"},
    {kMessageError, "500", "unknown error"},
}};

bool StartsWith(const std::string& line, const std::string& prefix) {
  return line.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

bool IsErrorResult(const std::string& line) {
  return line == "ERROR" || StartsWith(line, kPhoneError) || StartsWith(line, kMessageError);
}

bool MeansEmpty(const std::string& line) {
  return line == "+CMS ERROR: 321" || line == "+CME ERROR: 22";
}

std::string RefusalText(const std::string& command, const std::string& line) {
  std::string words = line;
  for (const ErrorCode& error : kMeanings) {
    if (StartsWith(line, error.Family) &&
        Trimmed(line.substr(std::string(error.Family).size())) == error.Code) {
      words += std::string(" (") + error.Meaning + ")";
    }
  }
  return "The device answered " + words + " to " + command;
}
