#include "config/kept_line.h"

#include "config/field_filters.h"

namespace config {

void KeptLine::Add(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (Complete()) {
      // The rest of a long line is only searched, never kept.
      if (kind_ == FieldKind::Number && kept_.front() != '+' &&
          bytes.find('+', i) != std::string_view::npos) {
        plusReset_ = true;
      }
      return;
    }
    if (bytes[i] != '\r') AddByte(bytes[i]);
  }
}

bool KeptLine::Complete() const {
  if (kind_ == FieldKind::Text) return kept_.size() == kMaxSMSTextLength;
  return plusReset_ || beyond_ != 0;
}

void KeptLine::AddByte(char byte) {
  bool blank = static_cast<unsigned char>(byte) <= 32;
  if (kind_ == FieldKind::Text) {
    // The filter looks at no byte after the 40th.
    if (kept_.size() < kMaxSMSTextLength) kept_.push_back(byte);
    return;
  }
  // Leading blanks are trimmed by the filter anyway.
  if (kept_.empty()) {
    if (!blank) kept_.push_back(byte);
    return;
  }
  if (byte == '+' && kept_.front() != '+') plusReset_ = true;
  if (kept_.size() < kMaxPhoneLength) {
    kept_.push_back(byte);
  } else if (beyond_ == 0 && !blank) {
    beyond_ = byte;
  }
}

std::string KeptLine::Text() const {
  if (plusReset_) return "+";
  return beyond_ == 0 ? kept_ : kept_ + beyond_;
}

}  // namespace config
