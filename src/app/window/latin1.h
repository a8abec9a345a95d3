// The dialogue's 8-bit texts cross into Qt as Latin-1, both ways.
#pragma once

#include <QString>
#include <string>

inline QString Latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Characters outside Latin-1 come back as "?".
inline std::string Bytes(const QString& text) {
  return text.toLatin1().toStdString();
}
