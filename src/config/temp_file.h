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
  // within one file system), after removing what saves of `target` killed
  // on the way left there. When it is `replacing` an existing file it is
  // created private (0600), so that nobody opens it before it has that
  // file's permissions; otherwise as a plain write creates a file. When the
  // folder refuses it (this user may not create files there, no room, no
  // quota), Created() is false and Error() says why; other failures are
  // raised.
  TempFile(const std::string& target, bool replacing);
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

  // Renames it to `target`; 0, or the errno of the refusal, and then it is
  // still there to be removed.
  int RenameTo(const std::string& target);
  // Closes and removes it now, giving back the room it took.
  void Remove();

 private:
  std::string path_;
  FileDescriptor file_;
  int error_ = 0;
};

}  // namespace config
