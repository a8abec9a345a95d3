// What a configuration line being read keeps of itself: enough that the
// field's filter gives the same result as on the whole line, and never more
// than a few dozen bytes, however long the line.
#pragma once

#include <string>
#include <string_view>

#include "config/config_fields.h"

namespace config {

class KeptLine {
 public:
  explicit KeptLine(FieldKind kind) : kind_(kind) {}

  // More of the line; its CRs are not part of it and are dropped.
  void Add(std::string_view bytes);
  // A text whose filter equals the filter of every byte added.
  std::string Text() const;

 private:
  void AddByte(char byte);
  // Nothing more but a resetting "+" can change the filtered line.
  bool Complete() const;

  FieldKind kind_;
  std::string kept_;
  // Number lines: a "+" after the first non-blank byte, when that byte is
  // not "+" itself, resets the number wherever it stands.
  bool plusReset_ = false;
  // Number lines: the first non-blank byte after the kept ones, so that a
  // lone kept character still counts as part of a longer number.
  char beyond_ = 0;
};

}  // namespace config
