#include "config/file_error.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace config {

namespace {

// Missing from the system's point of view is ENOENT either way; the user
// is told whether it was the file or its folder.
bool FolderExists(const std::string& path) {
  std::filesystem::path name(path);
  if (!name.has_filename()) return false;
  std::filesystem::path folder = name.parent_path();
  std::error_code ignored;
  return std::filesystem::is_directory(folder.empty() ? "." : folder, ignored);
}

std::string MessageFor(int errorNumber, const std::string& path) {
  switch (errorNumber) {
    case ENOENT:
      return FolderExists(path) ? "File not found" : "Invalid filename";
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return "Invalid filename";
    case EMFILE:
    case ENFILE:
      return "Too many open files";
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return "File access denied";
    default:
      return "I/O error " + std::to_string(errorNumber);
  }
}

}  // namespace

void RaiseFileError(int errorNumber, const std::string& path) {
  throw EFileError(MessageFor(errorNumber, path), errorNumber);
}

}  // namespace config
