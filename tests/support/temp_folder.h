// A private folder per test, removed afterwards, with the file helpers the
// tests share, and a way for a forked child to lose root so that file and
// folder permissions apply to it.
#pragma once

#include <grp.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace morvel::test {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "morvel-test-XXXXXX").string();
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

// The unprivileged user the children become.
constexpr uid_t kNobody = 65534;

// In a forked child (a death test's, say): gives up root and its groups for
// nobody; exits with 98 when it cannot.
inline void BecomeUnprivileged() {
  if (geteuid() == 0 &&
      (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
    std::_Exit(98);
  }
}

}  // namespace morvel::test
