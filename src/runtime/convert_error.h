// The framework's text-to-number conversion and the error it raises for a
// text that is not a number.
#pragma once

#include <stdexcept>
#include <string>

class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Decimal text with an optional sign to a 32-bit integer; anything else (the
// empty text too) raises EConvertError "'<text>' is not a valid integer value".
int StrToInt(const std::string& text);
