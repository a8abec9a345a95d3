#include "config/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string_view>

#include "config/config_file.h"
#include "config/file_error.h"

namespace config {

namespace {

// Takes the disk space the new content needs beyond what the file holds;
// 0, or the errno of the refusal. File systems that cannot reserve space in
// advance are written as they are.
int Reserve(int fd, std::size_t size) {
  int result;
  do {
    result = ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size));
  } while (result != 0 && errno == EINTR);
  return result == 0 || errno == EOPNOTSUPP || errno == ENOSYS ? 0 : errno;
}

// Writes `bytes` from the start of the file; 0, or the errno of the failure.
int PutBytes(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

// The first `size` bytes of the file, or fewer where it ends; none when it
// cannot be read (a file this user may only write).
std::optional<std::string> ReadStart(int fd, std::size_t size) {
  std::string bytes(size, '\0');
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd, bytes.data() + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

// Writes the new bytes over the old ones, cutting the file only when it
// shrinks (some file systems, FUSE FAT among them, refuse to grow a file
// with ftruncate), and puts them on disk; 0, or the errno of the failure.
int Replace(int fd, const std::string& bytes, std::size_t oldSize) {
  if (int error = PutBytes(fd, bytes)) return error;
  if (bytes.size() < oldSize && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) {
    return errno;
  }
  return ::fsync(fd) == 0 ? 0 : errno;
}

// Best effort: the user is told the failed write's error either way.
void PutBack(int fd, const std::string& kept, std::size_t oldSize) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return;
  const auto size = static_cast<off_t>(oldSize);
  if (info.st_size != size && ::ftruncate(fd, size) != 0) return;
  if (PutBytes(fd, kept) == 0) ::fsync(fd);
}

void WriteOver(FileDescriptor& file, const std::string& bytes, const std::string& path) {
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) RaiseFileError(errno, path);
  const auto oldSize = static_cast<std::size_t>(info.st_size);
  // What the write may change: the bytes it overwrites and, when the file
  // shrinks, those it cuts; that is a whole configuration. Of a file larger
  // than any configuration only the first megabyte is kept.
  const std::optional<std::string> kept =
      ReadStart(file.Get(), std::min(oldSize, std::max(bytes.size(), kMaxConfigFileSize)));
  if (int error = Reserve(file.Get(), bytes.size())) RaiseFileError(error, path);
  if (int error = Replace(file.Get(), bytes, oldSize)) {
    if (kept) PutBack(file.Get(), *kept, oldSize);
    RaiseFileError(error, path);
  }
  if (int error = file.Close()) RaiseFileError(error, path);
}

}  // namespace

void WriteNew(const FileDescriptor& file, const std::string& bytes, const std::string& path) {
  if (int error = Reserve(file.Get(), bytes.size())) RaiseFileError(error, path);
  if (int error = PutBytes(file.Get(), bytes)) RaiseFileError(error, path);
}

void SyncAndClose(FileDescriptor& file, const std::string& path) {
  if (::fsync(file.Get()) != 0) RaiseFileError(errno, path);
  if (int error = file.Close()) RaiseFileError(error, path);
}

void WriteInPlace(const std::string& path, const std::string& bytes) {
  // Opened for reading too, to keep the old bytes; a file this user may
  // only write is written as a plain write would, without them.
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  FileDescriptor file(fd);
  if (!file) RaiseFileError(errno, path);
  WriteOver(file, bytes, path);
}

void CreateInPlace(const std::string& path, const std::string& bytes) {
  FileDescriptor file(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666));
  if (!file) RaiseFileError(errno, path);
  WriteOver(file, bytes, path);
}

}  // namespace config
