#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "config/config_file.h"
#include "config/file_descriptor.h"

namespace config {

namespace {

std::string FileBytes(const ConfigTexts& texts) {
  std::string bytes;
  for (const std::string& text : texts) {
    bytes += text;
    bytes += "\r\n";
  }
  return bytes;
}

// A link names the file to replace; the link itself stays.
std::string ResolveLink(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : path;
}

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

void WriteAll(int fd, const std::string& bytes, const std::string& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) RaiseFileError(errno, path);
    done += static_cast<std::size_t>(n);
  }
}

// Writes, flushes to disk and closes, raising the first failure.
void WriteWhole(FileDescriptor& file, const std::string& bytes, const std::string& path) {
  WriteAll(file.Get(), bytes, path);
  if (::fsync(file.Get()) != 0) RaiseFileError(errno, path);
  if (int error = file.Close()) RaiseFileError(error, path);
}

// A new file beside `target` (a rename only replaces within one file
// system); sets `path` to its name.
int CreateBeside(const std::string& target, std::string& path) {
  std::filesystem::path name(target);
  // Short enough that the temporary name is never the one too long.
  std::string base = name.filename().string().substr(0, NAME_MAX - 32);
  std::string prefix = (name.parent_path() / ("." + base + ".")).string();
  for (unsigned attempt = 0;; ++attempt) {
    path = prefix + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
    // 0666 under the umask: what a new file gets when created directly.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST || attempt == 99) RaiseFileError(errno, target);
  }
}

// The new content under a temporary name, removed unless it was renamed
// into place.
class TempFile {
 public:
  explicit TempFile(const std::string& target) : file_(CreateBeside(target, path_)) {}
  ~TempFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  FileDescriptor& File() { return file_; }

  // Gives the file the old one's owner and mode; false when this user may not
  // hand a file to that owner or group.
  bool TakeOwnerAndMode(const struct stat& old, const std::string& target) {
    if (::fchown(file_.Get(), old.st_uid, old.st_gid) != 0) {
      if (errno == EPERM) return false;
      RaiseFileError(errno, target);
    }
    if (::fchmod(file_.Get(), old.st_mode & 07777) != 0) RaiseFileError(errno, target);
    return true;
  }

  void RenameTo(const std::string& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0) RaiseFileError(errno, target);
    path_.clear();
  }

 private:
  std::string path_;
  FileDescriptor file_;
};

// Best effort: the file itself is safe already, and the save succeeded.
void SyncFolderOf(const std::string& target) {
  std::filesystem::path folder = std::filesystem::path(target).parent_path();
  FileDescriptor dir(
      ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir) ::fsync(dir.Get());
}

// Someone else's file in a folder this user may write (a replacement would
// change hands), or a file with hard links: written over in place, as an
// editor would, at the risk a temporary file avoids.
void WriteInPlace(const std::string& target, const std::string& bytes) {
  FileDescriptor file(::open(target.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC));
  if (!file) RaiseFileError(errno, target);
  WriteWhole(file, bytes, target);
}

}  // namespace

void SaveConfigFile(const std::string& path, const ConfigTexts& texts) {
  std::string target = ResolveLink(path);
  std::string bytes = FileBytes(texts);
  struct stat old {};
  bool exists = ::stat(target.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) RaiseFileError(errno, target);
  if (exists) CheckReplaceable(target, old);

  TempFile temp(target);
  // A file with other names keeps them only when written over in place.
  if (exists && (old.st_nlink > 1 || !temp.TakeOwnerAndMode(old, target))) {
    return WriteInPlace(target, bytes);
  }
  WriteWhole(temp.File(), bytes, target);
  temp.RenameTo(target);
  SyncFolderOf(target);
}

}  // namespace config
