// A private folder per test for the trace and log files, removed afterwards,
// and the helpers the recorder tests share.
#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace trace_log_test {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "morvel-tl-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }
  // Readable and searchable, but nobody without privileges may create in it.
  void MakeReadOnly() const {
    namespace fs = std::filesystem;
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                               fs::perms::others_exec);
  }

 private:
  std::filesystem::path path_;
};

inline bool Exists(const std::string& file) {
  return std::filesystem::exists(file);
}

inline std::string ReadAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

// In a forked child: gives up root, so that folder permissions apply to the
// test even when the suite runs as root.
inline void BecomeUnprivileged() {
  constexpr uid_t kNobody = 65534;
  if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) std::_Exit(98);
}

// In a forked child: mounts a small read-only tmpfs on `folder` in a mount
// namespace of the child's own, so nothing outside the child sees it.
inline void MountReadOnlyTmpfs(const std::string& folder) {
  bool own = unshare(CLONE_NEWNS) == 0 || unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0;
  if (!own || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      mount("morvel-test", folder.c_str(), "tmpfs", MS_RDONLY, "size=64k") != 0) {
    std::perror("cannot mount a read-only tmpfs for the test");
    std::_Exit(97);
  }
}

// A child's exit code for a file error: the number itself when it fits, so
// that a number no code would match cannot pass for a small one.
inline int ExitCodeOf(long error) {
  return error >= 0 && error < 255 ? static_cast<int>(error) : 255;
}

}  // namespace trace_log_test
