#include "config/save_target.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "config/file_error.h"

namespace config {

namespace {

// As many links as the kernel follows in one path.
constexpr int kMaxLinks = 40;

}  // namespace

std::string SaveTarget(const std::string& path) {
  namespace fs = std::filesystem;
  std::string target = path;
  for (int hops = 0; hops < kMaxLinks; ++hops) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
    std::error_code error;
    const fs::path next = fs::read_symlink(target, error);
    if (error) RaiseFileError(error.value(), path);
    target = (fs::path(target).parent_path() / next).string();
  }
  RaiseFileError(ELOOP, path);
}

}  // namespace config
