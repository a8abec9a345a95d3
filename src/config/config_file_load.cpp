#include "config/byte_reader.h"
#include "config/config_file.h"
#include "config/file_descriptor.h"
#include "config/kept_line.h"

namespace config {

void LoadConfigFile(const std::string& path, const FieldSetter& setField) {
  FileDescriptor file(OpenPlainFile(path));
  ByteReader reader(file.Get(), path);
  if (!reader.AtEnd()) {
    for (std::size_t line = 0; line < kConfigFieldCount; ++line) {
      const ConfigField field = FieldAt(line);
      KeptLine kept(KindOf(field));
      ReadLineInto(reader, [&](std::string_view bytes) { kept.Add(bytes); });
      setField(field, kept.Text());
    }
  }
  if (int error = file.Close()) RaiseFileError(error, path);
}

}  // namespace config
