#include "latin1_text.h"

namespace kestrix {

std::string Latin1ToUtf8(const std::string& latin1) {
  std::string out;
  for (unsigned char c : latin1) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::optional<std::string> Utf8ToLatin1(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    // Two-byte sequences C2/C3 xx cover U+0080..U+00FF; anything else is
    // either beyond Latin-1 or malformed.
    if ((c != 0xC2 && c != 0xC3) || i + 1 >= utf8.size()) return std::nullopt;
    unsigned char next = static_cast<unsigned char>(utf8[i + 1]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    out += static_cast<char>(((c & 0x03) << 6) | (next & 0x3F));
    ++i;
  }
  return out;
}

}  // namespace kestrix
