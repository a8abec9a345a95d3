// Turns the dispatch log into the log file's text: the header lines and one
// row per entry, labels taken from the message table.
#pragma once

#include <string>

#include "platform/win_types.h"
#include "serial/log_record.h"
#include "serial/text_file_writer.h"

namespace ser {

// Milliseconds as seconds with a point before the last three digits, at
// least seven digits: 1234 gives "0001.234".
std::string LogTimeText(DWORD milliseconds);

// Local time as "dd/mm/yy, hh:mm:ss".
std::string LogDateTimeNow();

// The seven header lines, each ended.
void WriteLogHeader(TextFileWriter& out, const std::string& deviceName,
                    const std::string& dateTime);

// One entry's row (wrapped onto 44-space continuation lines), ended.
void WriteLogEntry(TextFileWriter& out, const LogRecord& record, const BYTE* extra, bool hex,
                   bool allHex);

}  // namespace ser
