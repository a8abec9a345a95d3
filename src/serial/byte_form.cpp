#include "serial/byte_form.h"

namespace ser {

int FormatByte(BYTE value, bool hex, bool allHex, char* out) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  BYTE firstPrintable = hex ? 0x21 : 0x20;
  if (!allHex && value >= firstPrintable && value <= 0x7E) {
    out[0] = static_cast<char>(value);
    return 1;
  }
  if (allHex || hex) {
    out[0] = '[';
    out[1] = kHexDigits[value >> 4];
    out[2] = kHexDigits[value & 0x0F];
    out[3] = ']';
    return 4;
  }
  int n = 0;
  out[n++] = '[';
  if (value >= 100) out[n++] = static_cast<char>('0' + value / 100);
  if (value >= 10) out[n++] = static_cast<char>('0' + value / 10 % 10);
  out[n++] = static_cast<char>('0' + value % 10);
  out[n++] = ']';
  return n;
}

ByteForms::ByteForms(bool hex, bool allHex) {
  for (int value = 0; value < 256; ++value) {
    widths_[value] =
        static_cast<BYTE>(FormatByte(static_cast<BYTE>(value), hex, allHex, texts_[value].data()));
  }
}

}  // namespace ser
