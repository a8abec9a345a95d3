#include <algorithm>

#include "config/byte_reader.h"
#include "config/config_file.h"
#include "config/file_descriptor.h"

namespace config {

ConfigLines ReadConfigLines(const std::string& path) {
  FileDescriptor file(OpenPlainFile(path));
  ByteReader reader(file.Get(), path);
  ConfigLines read;
  read.Empty = reader.AtEnd();
  for (std::string& line : read.Lines) {
    ReadLineInto(reader, [&line](std::string_view bytes) {
      for (const char byte : bytes) {
        if (byte != '\r' && line.size() < kKeptLineBytes) line.push_back(byte);
      }
    });
  }
  while (!read.MoreLines && !reader.AtEnd()) {
    ReadLineInto(reader, [&read](std::string_view bytes) {
      read.MoreLines = read.MoreLines || std::any_of(bytes.begin(), bytes.end(),
                                                     [](char byte) { return byte != '\r'; });
    });
  }
  if (int error = file.Close()) RaiseFileError(error, path);
  return read;
}

}  // namespace config
