// Putting a configuration's bytes into a file so that a failure never leaves
// less than the file held before.
#pragma once

#include <string>

#include "config/file_descriptor.h"

namespace config {

// Replaces the content of the open `file` with `bytes`, puts it on disk and
// closes it; failures are raised for `path`. The room is taken before a byte
// is written, so a full disk or a quota leaves the old content whole, and
// the old content is never cut before the new one is written.
void WriteOver(FileDescriptor& file, const std::string& bytes, const std::string& path);

// Writes `bytes` over the existing file `path`, keeping its inode and with it
// its other names, owner, mode, access control list and attributes.
void WriteInPlace(const std::string& path, const std::string& bytes);

}  // namespace config
