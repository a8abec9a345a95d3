#include "cli/printable.h"

#include <cstdio>

namespace {

void AppendLatin1(std::string& out, unsigned char byte) {
  if (byte < 0x80) {
    out.push_back(static_cast<char>(byte));
  } else {
    out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
    out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
  }
}

bool IsControl(unsigned char byte) {
  return byte < 0x20 || (byte >= 0x7F && byte < 0xA0);
}

}  // namespace

std::string Printable(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsControl(byte) || byte == '\\') {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      AppendLatin1(out, byte);
    }
  }
  return out;
}

std::string Utf8FromLatin1(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) AppendLatin1(out, static_cast<unsigned char>(c));
  return out;
}
