#include "runtime/convert_error.h"

#include <charconv>

int StrToInt(const std::string& text) {
  const char* first = text.data();
  const char* last = first + text.size();
  // from_chars takes a minus but not a plus.
  if (first != last && *first == '+' && first + 1 != last && first[1] != '-') ++first;
  int value = 0;
  auto [end, error] = std::from_chars(first, last, value, 10);
  if (error != std::errc() || end != last || first == last) {
    throw EConvertError("'" + text + "' is not a valid integer value");
  }
  return value;
}
