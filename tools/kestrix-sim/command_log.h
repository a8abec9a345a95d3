// The command log: every command line and message text the device received,
// one per line, with a time stamp and the exact bytes (control bytes escaped).
#pragma once

#include <fstream>
#include <string>

namespace kestrix {

class CommandLog {
 public:
  // Throws std::runtime_error when the file cannot be created.
  explicit CommandLog(const std::string& path);
  ~CommandLog();
  CommandLog(const CommandLog&) = delete;
  CommandLog& operator=(const CommandLog&) = delete;

  // Starts the entry of a newly received line.
  void Record(const std::string& raw);
  // Adds bytes that turned out to belong to the last entry (its LF).
  void Continue(const std::string& raw);

  // "AT\r\n" as AT\r\n; other bytes below 32 or above 126 as \xNN.
  static std::string Escaped(const std::string& raw);

 private:
  std::ofstream file_;
  bool open_ = false;  // the last entry still lacks its newline
};

}  // namespace kestrix
