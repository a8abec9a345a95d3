// How the trace and the log show one byte: itself when printable, otherwise
// in brackets as two hex digits or as a decimal number.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>

#include "platform/win_types.h"

namespace ser {

// Longest form: "[255]".
constexpr int kMaxByteFormWidth = 5;

// Writes the form of `value` to `out` (room for kMaxByteFormWidth characters)
// and returns its width. With `hex` the space is bracketed too, so trailing
// blanks stay visible; `allHex` brackets every byte.
int FormatByte(BYTE value, bool hex, bool allHex, char* out);

// The forms of all 256 bytes for one choice of hex and all-hex, made once per
// file, so that a dump copies each byte's form instead of working it out.
class ByteForms {
 public:
  // Room a form is copied with: whole, padded past its width.
  static constexpr std::size_t kCopyWidth = 8;

  ByteForms(bool hex, bool allHex);
  int Width(BYTE value) const { return widths_[value]; }
  // Copies kCopyWidth characters, of which the first Width(value) count.
  void CopyTo(BYTE value, char* out) const { std::memcpy(out, texts_[value].data(), kCopyWidth); }

 private:
  std::array<std::array<char, kCopyWidth>, 256> texts_{};
  std::array<BYTE, 256> widths_{};
};

}  // namespace ser
