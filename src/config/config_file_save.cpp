#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "config/config_file.h"
#include "config/file_descriptor.h"
#include "config/file_error.h"
#include "config/file_write.h"
#include "config/save_target.h"
#include "config/temp_file.h"

namespace config {

std::string ConfigFileBytes(const ConfigTexts& texts) {
  std::string bytes;
  for (const std::string& text : texts) {
    bytes += text;
    bytes += "\r\n";
  }
  return bytes;
}

namespace {

// Refuses a target that writing over in place would not be allowed to
// touch. Root may write anything, so for root a file that grants nobody
// write access counts as read-only; an immutable file refuses with EPERM,
// root or not. Only plain files are replaced: a rename over a device or a
// pipe would swap the node for a file.
void CheckReplaceable(const std::string& target, const struct stat& info) {
  if (S_ISDIR(info.st_mode)) RaiseFileError(EISDIR, target);
  if (!S_ISREG(info.st_mode) || (info.st_mode & 0222) == 0) RaiseFileError(EACCES, target);
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) RaiseFileError(errno, target);
}

std::string FolderOf(const std::string& target) {
  const std::string folder = std::filesystem::path(target).parent_path();
  return folder.empty() ? "." : folder;
}

// A temporary file there could be neither renamed over the file nor removed.
bool InAppendOnlyFolder(const std::string& target) {
  struct statx info {};
  return ::statx(AT_FDCWD, FolderOf(target).c_str(), 0, STATX_TYPE, &info) == 0 &&
         (info.stx_attributes & STATX_ATTR_APPEND) != 0;
}

// Makes the folder's new entry for `target` survive a crash: with the
// folder's own sync or, where the folder cannot be opened (mode 0733) or
// synced, with its whole file system's, reached through the file. Without
// either the save is not reported as done.
void SyncFolderOf(const std::string& target) {
  FileDescriptor dir(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir && ::fsync(dir.Get()) == 0) return;
  FileDescriptor file(
      ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
  if (!file || ::syncfs(file.Get()) != 0) RaiseFileError(errno, target);
}

}  // namespace

void SaveConfigFile(const std::string& path, const ConfigTexts& texts) {
  const std::string target = SaveTarget(path);
  const std::string bytes = ConfigFileBytes(texts);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) RaiseFileError(errno, target);
  if (exists) CheckReplaceable(target, old);

  if (InAppendOnlyFolder(target)) {
    if (exists) return WriteInPlace(target, bytes);
    CreateInPlace(target, bytes);
    return SyncFolderOf(target);
  }
  TempFile temp(target, exists);
  if (!temp.Created() && !exists) RaiseFileError(temp.Error(), target);
  // Where a replacement would not be the same file to everyone who uses it,
  // the file is written over in place instead, as an editor would: its other
  // names would keep the old content, and someone else's file would change
  // hands or lose who else may write it. So is a file in a folder this user
  // may write files in but not create them, or one without room for a
  // second copy.
  if (exists && (!temp.Created() || old.st_nlink > 1 || !temp.TakeAttributesOf(target, old))) {
    return WriteInPlace(target, bytes);
  }
  try {
    WriteNew(temp.File(), bytes, target);
  } catch (const EFileError& error) {
    // A disk or quota too full for a second copy may still take the new
    // content in the room the old one holds.
    if (!exists || (error.ErrorNumber != ENOSPC && error.ErrorNumber != EDQUOT)) throw;
    temp.Remove();
    return WriteInPlace(target, bytes);
  }
  // A failed sync is no refusal to fall back from: the disk took the bytes
  // but cannot promise to keep them, and writing in place would only change
  // the old file for nothing.
  SyncAndClose(temp.File(), target);
  if (int error = temp.RenameTo(target)) {
    // Refused over an existing file (a bind-mounted file, a folder that
    // allows no removal), where a plain write still succeeds.
    if (!exists) RaiseFileError(error, target);
    temp.Remove();
    return WriteInPlace(target, bytes);
  }
  SyncFolderOf(target);
}

}  // namespace config
