// The GSM 7-bit default alphabet and its extension table, as far as Latin-1
// reaches: used for 7-bit PDUs and for the "GSM" character set.
#pragma once

#include <optional>
#include <string>

namespace kestrix {

// GSM codes (one per byte, an escape 0x1B before extension characters) for a
// Latin-1 text; nothing when a character has no GSM code.
std::optional<std::string> Latin1ToGsm(const std::string& latin1);
// Latin-1 text for GSM codes; nothing when a code stands for a character
// outside Latin-1 (Greek capitals, the euro sign).
std::optional<std::string> GsmToLatin1(const std::string& gsm);

}  // namespace kestrix
