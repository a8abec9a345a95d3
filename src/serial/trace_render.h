// Turns trace entries, oldest first, into the trace file's text: a heading
// for every change of direction and byte forms wrapped at column 78.
#pragma once

#include "platform/win_types.h"
#include "serial/text_file_writer.h"

namespace ser {

class TraceRenderer {
 public:
  TraceRenderer(TextFileWriter& out, bool hex, bool allHex);
  // The last line is left open: the file ends without a line end.
  void Add(char kind, BYTE value);

 private:
  void Heading(char kind);

  TextFileWriter& out_;
  bool hex_;
  bool allHex_;
  bool first_ = true;
  char kind_ = 0;
  int column_ = 0;
};

}  // namespace ser
