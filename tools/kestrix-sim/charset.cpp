#include "charset.h"

#include "gsm_alphabet.h"

namespace kestrix {

std::string ToClientCharset(const std::string& charset, const std::string& latin1) {
  if (charset != "GSM") return latin1;
  std::string out;
  for (char c : latin1) out += Latin1ToGsm(std::string(1, c)).value_or("?");
  return out;
}

std::optional<std::string> FromClientCharset(const std::string& charset, const std::string& text) {
  if (charset != "GSM") return text;
  return GsmToLatin1(text);
}

bool IsSupportedCharset(const std::string& charset) {
  return charset == "GSM" || charset == "IRA";
}

}  // namespace kestrix
