// Texts between the device (Latin-1) and a client in the character set it
// chose with AT+CSCS: "IRA" passes the bytes through, "GSM" uses GSM codes.
#pragma once

#include <optional>
#include <string>

namespace kestrix {

// Characters without a GSM code become "?", as on a real handset.
std::string ToClientCharset(const std::string& charset, const std::string& latin1);
// Nothing when the client sent a code with no Latin-1 character.
std::optional<std::string> FromClientCharset(const std::string& charset, const std::string& text);
// The character sets the device offers.
bool IsSupportedCharset(const std::string& charset);

}  // namespace kestrix
