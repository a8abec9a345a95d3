#include "command_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <stdexcept>

namespace kestrix {

namespace {

std::string Now() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t seconds = system_clock::to_time_t(now);
  long millis =
      static_cast<long>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03ld", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millis);
  return text;
}

}  // namespace

CommandLog::CommandLog(const std::string& path) : file_(path, std::ios::trunc) {
  if (!file_) throw std::runtime_error("cannot create the command log " + path);
}

std::string CommandLog::Escaped(const std::string& raw) {
  std::string out;
  for (unsigned char c : raw) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 32 || c > 126) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

CommandLog::~CommandLog() {
  if (open_) file_ << '\n';
}

// Flushed at once, so a test reads what was received while the device runs;
// the newline waits until it is clear whether an LF follows the CR.
void CommandLog::Record(const std::string& raw) {
  if (open_) file_ << '\n';
  file_ << Now() << ' ' << Escaped(raw);
  file_.flush();
  open_ = true;
}

void CommandLog::Continue(const std::string& raw) {
  file_ << Escaped(raw);
  file_.flush();
}

}  // namespace kestrix
