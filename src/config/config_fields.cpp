#include "config/config_fields.h"

#include "config/field_filters.h"

namespace config {

FieldKind KindOf(ConfigField field) {
  switch (field) {
    case ConfigField::SMSText1:
    case ConfigField::SMSText2:
    case ConfigField::SMStext3:
    case ConfigField::SMStext4:
    case ConfigField::SMStext5:
    case ConfigField::SMSText6:
      return FieldKind::Text;
    case ConfigField::MASTER1:
    case ConfigField::MASTER2:
    case ConfigField::MASTER3:
    case ConfigField::MASTER4:
    case ConfigField::MASTER5:
    case ConfigField::MASTER6:
    case ConfigField::MASTER7:
    case ConfigField::MASTER8:
    case ConfigField::SERVICE:
    case ConfigField::SMSPhone1:
    case ConfigField::SMSPhone2:
    case ConfigField::SMSPhone3:
    case ConfigField::SMSPhone4:
    case ConfigField::SMSPhone5:
    case ConfigField::SMSPhone6:
      return FieldKind::Number;
  }
  return FieldKind::Number;
}

std::string_view FieldName(ConfigField field) {
  static constexpr std::array<std::string_view, kConfigFieldCount> kNames = {
      "MASTER1",  "MASTER2",   "MASTER3",   "MASTER4",   "MASTER5",   "MASTER6",   "MASTER7",
      "MASTER8",  "SERVICE",   "SMSPhone1", "SMSText1",  "SMSPhone2", "SMSText2",  "SMSPhone3",
      "SMStext3", "SMSPhone4", "SMStext4",  "SMSPhone5", "SMStext5",  "SMSPhone6", "SMSText6"};
  return kNames.at(LineOf(field));
}

std::string FilterFor(ConfigField field, std::string_view text) {
  return KindOf(field) == FieldKind::Text ? FilterSMSText(text) : FilterPhone(text);
}

}  // namespace config
