// The 21 entry fields a configuration file holds, in the order of its lines,
// and which filter each field's change handler applies. The SMS service
// centre field is shown only and is not part of the file.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace config {

// File order: line 1 is MASTER1, line 21 SMSText6. The names are the
// window's control names, irregular case included.
enum class ConfigField {
  MASTER1,
  MASTER2,
  MASTER3,
  MASTER4,
  MASTER5,
  MASTER6,
  MASTER7,
  MASTER8,
  SERVICE,
  SMSPhone1,
  SMSText1,
  SMSPhone2,
  SMSText2,
  SMSPhone3,
  SMStext3,
  SMSPhone4,
  SMStext4,
  SMSPhone5,
  SMStext5,
  SMSPhone6,
  SMSText6,
};

constexpr std::size_t kConfigFieldCount = 21;

// The field of a zero-based file line, and back.
constexpr ConfigField FieldAt(std::size_t line) {
  return static_cast<ConfigField>(line);
}
constexpr std::size_t LineOf(ConfigField field) {
  return static_cast<std::size_t>(field);
}

// The fields' texts, indexed by LineOf.
using ConfigTexts = std::array<std::string, kConfigFieldCount>;

enum class FieldKind { Number, Text };

// Number fields use FilterPhone, text fields FilterSMSText.
FieldKind KindOf(ConfigField field);

// The control's name, e.g. "SMStext3", for finding the field's widget.
std::string_view FieldName(ConfigField field);

// The field's filter applied once to `text`.
std::string FilterFor(ConfigField field, std::string_view text);

}  // namespace config
