// How the trace and the log show one byte: itself when printable, otherwise
// in brackets as two hex digits or as a decimal number.
#pragma once

#include "platform/win_types.h"

namespace ser {

// Longest form: "[255]".
constexpr int kMaxByteFormWidth = 5;

// Writes the form of `value` to `out` (room for kMaxByteFormWidth characters)
// and returns its width. With `hex` the space is bracketed too, so trailing
// blanks stay visible; `allHex` brackets every byte.
int FormatByte(BYTE value, bool hex, bool allHex, char* out);

}  // namespace ser
