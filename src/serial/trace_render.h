// Turns trace entries, oldest first, into the trace file's text: a heading
// for every change of direction and byte forms wrapped at column 78.
#pragma once

#include "platform/win_types.h"
#include "serial/byte_form.h"
#include "serial/text_file_writer.h"

namespace ser {

class TraceRenderer {
 public:
  TraceRenderer(TextFileWriter& out, bool hex, bool allHex);
  // Adds `count` entries of two bytes each (kind, byte), in order. The last
  // line is left open: the file ends without a line end.
  void Add(const BYTE* entries, DWORD count);

 private:
  static constexpr int kTraceLineWidth = 78;
  // Entries put together in the writer's buffer before it is told of them.
  static constexpr DWORD kEntriesInPlace = 4096;
  static constexpr std::size_t kMostPerHeading = 16;  // "\r\n\r\nTransmit: \r\n"

  static char* Heading(char kind, bool first, char* at);

  TextFileWriter& out_;
  const ByteForms forms_;
  bool first_ = true;
  char kind_ = 0;
  int column_ = 0;
};

}  // namespace ser
