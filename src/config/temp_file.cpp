#include "config/temp_file.h"

#include <acl/libacl.h>
#include <attr/libattr.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>

#include "config/file_error.h"

namespace config {

namespace {

// Opens a new file beside `target` and sets `path` to its name; -1 with
// errno set when the folder refuses new files.
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
    if (errno == EACCES || errno == EPERM) return -1;
    if (errno != EEXIST || attempt == 99) RaiseFileError(errno, target);
  }
}

}  // namespace

TempFile::TempFile(const std::string& target) : file_(CreateBeside(target, path_)) {
  if (!file_) {
    error_ = errno;
    path_.clear();
  }
}

TempFile::~TempFile() {
  Remove();
}

void TempFile::Remove() {
  file_.Close();
  if (!path_.empty()) ::unlink(path_.c_str());
  path_.clear();
}

bool TempFile::TakeAttributesOf(const std::string& target, const struct stat& old) {
  FileDescriptor source(::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  // The owner first: a change of owner clears the set-id bits of the mode.
  return source && ::fchown(file_.Get(), old.st_uid, old.st_gid) == 0 &&
         perm_copy_fd(target.c_str(), source.Get(), path_.c_str(), file_.Get(), nullptr) == 0 &&
         attr_copy_fd(target.c_str(), source.Get(), path_.c_str(), file_.Get(), nullptr, nullptr) ==
             0;
}

void TempFile::RenameTo(const std::string& target) {
  if (::rename(path_.c_str(), target.c_str()) != 0) RaiseFileError(errno, target);
  path_.clear();
}

}  // namespace config
