// The serial line's message table: the texts of result codes and the dispatch
// log's labels, sorted by the absolute value of the code.
#pragma once

#include <span>

namespace ser {

struct TMessageEntry {
  int Code;
  const char* Text;  // never null; empty for codes whose text is the platform's
};

// The whole table, in order of |Code|, no two entries with the same |Code|.
std::span<const TMessageEntry> MessageTable();

}  // namespace ser
