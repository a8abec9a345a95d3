// The dialogue's 8-bit texts cross into Qt as Latin-1, both ways.
#pragma once

#include <QString>
#include <string>

#include "config/config_fields.h"

inline QString Latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Characters outside Latin-1 come back as "?".
inline std::string Bytes(const QString& text) {
  return text.toLatin1().toStdString();
}

// A field's text as its filter is to see it. A character without an 8-bit
// code is refused like any other the filter refuses, never read as "?": the
// text ends before it. In front of a number, where the filter would keep
// whatever stands first, such characters are dropped instead. The text is
// seen in its composed form (NFC): "c" with a combining caron is "č".
std::string FilterInput(const QString& text, config::FieldKind kind);
