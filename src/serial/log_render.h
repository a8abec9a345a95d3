// Turns the dispatch log into the log file's text: the header lines and one
// row per entry, labels taken from the message table.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "platform/win_types.h"
#include "serial/byte_form.h"
#include "serial/log_record.h"
#include "serial/text_file_writer.h"

namespace ser {

// Milliseconds as seconds with a point before the last three digits, at
// least seven digits: 1234 gives "0001.234".
std::string LogTimeText(DWORD milliseconds);

// Local time as "dd/mm/yy, hh:mm:ss".
std::string LogDateTimeNow();

class LogRenderer {
 public:
  LogRenderer(TextFileWriter& out, bool hex, bool allHex);

  // The seven header lines, each ended.
  void Header(const std::string& deviceName, const std::string& dateTime);
  // One entry's row (wrapped onto 44-space continuation lines), ended.
  void Entry(const LogRecord& record, const BYTE* extra);

 private:
  // A label as its column of the row ("%-8s  ", "%-12s  "), looked up once
  // per dump: a full log repeats a handful of them. Sub-kind 0 has none.
  const std::string& Column(std::optional<std::string>& cached, int code, std::size_t width);
  void ExtraBytes(const LogRecord& record, const BYTE* extra);

  TextFileWriter& out_;
  const ByteForms forms_;
  bool allHex_;
  std::array<std::optional<std::string>, 256> kindColumns_;
  std::array<std::optional<std::string>, 256> subKindColumns_;
};

}  // namespace ser
