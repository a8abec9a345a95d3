#include "cli/job.h"

#include "cli/field_label.h"
#include "cli/field_view.h"
#include "cli/printable.h"
#include "config/config_file.h"

std::string ReadJobFile(Job& job) {
  config::ConfigLines read;
  try {
    read = config::ReadConfigLines(job.File);
  } catch (const config::EFileError& error) {
    return job.File + ": " + error.what();
  }
  if (read.Empty) return job.File + ": holds no configuration";
  if (read.MoreLines) return job.File + ": holds more than the 21 lines of a configuration";
  job.FileLines = read.Lines;
  if (job.What != Command::kWrite) return {};
  for (std::size_t line = 0; line < config::kConfigFieldCount; ++line) {
    const config::ConfigField field = config::FieldAt(line);
    const std::string& text = read.Lines[line];
    if (const std::string held = HeldText(field, text); held != text) {
      return job.File + " line " + std::to_string(line + 1) + " (" + FieldLabel(field) + "): \"" +
             Printable(text) + "\" would be written as \"" + Printable(held) + "\"";
    }
  }
  return {};
}
