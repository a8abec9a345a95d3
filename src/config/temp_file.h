// A configuration's new content under a temporary name beside the file it is
// to replace, removed unless it was renamed into place.
#pragma once

#include <sys/stat.h>

#include <string>

#include "config/file_descriptor.h"

namespace config {

class TempFile {
 public:
  // A new, empty file in the folder of `target` (a rename replaces only
  // within one file system). When this user may not create files there,
  // Created() is false and Error() says why; other failures are raised.
  explicit TempFile(const std::string& target);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool Created() const { return static_cast<bool>(file_); }
  int Error() const { return error_; }
  FileDescriptor& File() { return file_; }

  // Gives it the owner, mode, access control list and extended attributes
  // of `old`, the file at `target`; false when not all of them can be
  // carried over, for whatever reason the file system gives.
  bool TakeAttributesOf(const std::string& target, const struct stat& old);

  void RenameTo(const std::string& target);
  // Closes and removes it now, giving back the room it took.
  void Remove();

 private:
  std::string path_;
  FileDescriptor file_;
  int error_ = 0;
};

}  // namespace config
