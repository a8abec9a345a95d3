#include "config/temp_file.h"

#include <acl/libacl.h>
#include <attr/libattr.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <filesystem>
#include <string_view>

#include "config/file_error.h"

namespace config {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSuffix = ".tmp";

// The folder of `target` and the start of its temporary names, ".name.",
// before "<process id>-<attempt>.tmp".
struct TempNames {
  explicit TempNames(const std::string& target) {
    fs::path name(target);
    folder = name.parent_path().empty() ? fs::path(".") : name.parent_path();
    // Short enough that the temporary name is never the one too long.
    start = "." + name.filename().string().substr(0, NAME_MAX - 32) + ".";
  }
  fs::path folder;
  std::string start;
};

// The process that saved under temporary name `rest` (what follows the
// start), or 0 when it is not one of ours.
pid_t SaverOf(std::string_view rest) {
  if (!rest.ends_with(kSuffix)) return 0;
  rest.remove_suffix(kSuffix.size());
  const std::size_t dash = rest.find('-');
  pid_t pid = 0;
  unsigned attempt = 0;
  const char* end = rest.data() + rest.size();
  if (dash == std::string_view::npos ||
      std::from_chars(rest.data(), rest.data() + dash, pid).ptr != rest.data() + dash ||
      std::from_chars(rest.data() + dash + 1, end, attempt).ptr != end || pid <= 0) {
    return 0;
  }
  return pid;
}

// A save killed on the way (kill -9, a crash) leaves its temporary file.
// Those of this user whose process is gone are removed; one whose process
// number was taken again stays until that process ends.
void RemoveLeftovers(const TempNames& names) {
  std::error_code error;
  for (fs::directory_iterator it(names.folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (!name.starts_with(names.start)) continue;
    const pid_t saver = SaverOf(std::string_view(name).substr(names.start.size()));
    struct stat info {};
    if (saver == 0 || ::kill(saver, 0) == 0 || errno != ESRCH ||
        ::lstat(it->path().c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_uid != ::geteuid()) {
      continue;
    }
    ::unlink(it->path().c_str());
  }
}

// Opens a new file with the names' start and sets `path` to its name; -1
// with errno set when the folder refuses new files.
int CreateBeside(const TempNames& names, mode_t mode, const std::string& target,
                 std::string& path) {
  for (unsigned attempt = 0;; ++attempt) {
    path = (names.folder / (names.start + std::to_string(::getpid()) + "-" +
                            std::to_string(attempt) + std::string(kSuffix)))
               .string();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) return fd;
    if (errno == EACCES || errno == EPERM || errno == ENOSPC || errno == EDQUOT) return -1;
    if (errno != EEXIST || attempt == 99) RaiseFileError(errno, target);
  }
}

// A private file, or one as a plain write creates it: 0666 under the umask.
int Create(const std::string& target, bool replacing, std::string& path) {
  const TempNames names(target);
  RemoveLeftovers(names);
  return CreateBeside(names, replacing ? 0600 : 0666, target, path);
}

}  // namespace

TempFile::TempFile(const std::string& target, bool replacing)
    : file_(Create(target, replacing, path_)) {
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

int TempFile::RenameTo(const std::string& target) {
  if (::rename(path_.c_str(), target.c_str()) != 0) return errno;
  path_.clear();
  return 0;
}

}  // namespace config
