// Putting a configuration's bytes into a file so that a failure never leaves
// less than the file held before.
#pragma once

#include <string>

#include "config/file_descriptor.h"

namespace config {

// Writes `bytes` into the new, empty `file`. The room is taken first, so a
// full disk or quota refuses before a byte is written. Failures are raised
// for `path`.
void WriteNew(const FileDescriptor& file, const std::string& bytes, const std::string& path);

// Puts the open `file` on disk and closes it; failures are raised for `path`.
void SyncAndClose(FileDescriptor& file, const std::string& path);

// Writes `bytes` over the existing file `path`, keeping its inode and with it
// its other names, owner, mode, access control list and attributes, and puts
// it on disk. The room is taken first; the file is cut only when it shrinks;
// when the write fails part-way, the old bytes are put back, so a failed
// write leaves the file as it was.
void WriteInPlace(const std::string& path, const std::string& bytes);

// Creates `path`, which does not exist, as a plain write would (0666 under
// the umask), and writes `bytes` into it as WriteInPlace does.
void CreateInPlace(const std::string& path, const std::string& bytes);

}  // namespace config
