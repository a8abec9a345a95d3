#include "cli/field_label.h"

std::string FieldLabel(config::ConfigField field) {
  const std::size_t line = config::LineOf(field);
  const std::size_t firstSms = config::LineOf(config::ConfigField::SMSPhone1);
  if (line < firstSms) return std::string(config::FieldName(field));
  const std::size_t slot = (line - firstSms) / 2 + 1;
  const bool text = config::KindOf(field) == config::FieldKind::Text;
  return "SMS" + std::to_string(slot) + (text ? "_text" : "_number");
}
