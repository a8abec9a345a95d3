#include "app/window/latin1.h"

std::string FilterInput(const QString& text, config::FieldKind kind) {
  std::string bytes;
  bool numberStarted = false;
  for (QChar c : text) {
    const char16_t code = c.unicode();
    if (code > 0xFF) {
      if (kind == config::FieldKind::Number && !numberStarted) continue;
      break;
    }
    bytes.push_back(static_cast<char>(code));
    // The number filter trims blanks; the first other character starts it.
    numberStarted = numberStarted || code > 32;
  }
  return bytes;
}
