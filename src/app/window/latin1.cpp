#include "app/window/latin1.h"

std::string FilterInput(const QString& text, config::FieldKind kind) {
  std::string bytes;
  bool numberStarted = false;
  // Composed first, so that a letter and its combining accent count as the
  // one character they show: refused where the precomposed one is.
  for (QChar c : text.normalized(QString::NormalizationForm_C)) {
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
