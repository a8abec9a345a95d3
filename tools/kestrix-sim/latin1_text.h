// Conversions between the Latin-1 bytes the device stores and UTF-8 (the
// state file) or hexadecimal UCS-2 (the "UCS2" reply form of PDUs).
#pragma once

#include <optional>
#include <string>

namespace kestrix {

std::string Latin1ToUtf8(const std::string& latin1);
// Nothing when the text is not valid UTF-8 or holds a character above U+00FF.
std::optional<std::string> Utf8ToLatin1(const std::string& utf8);

}  // namespace kestrix
