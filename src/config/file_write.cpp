#include "config/file_write.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "config/file_error.h"

namespace config {

namespace {

// Takes the disk space the new content needs beyond what the file holds.
// File systems that cannot reserve space in advance are written as they are.
void Reserve(int fd, std::size_t size, const std::string& path) {
  int result;
  do {
    result = ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size));
  } while (result != 0 && errno == EINTR);
  if (result != 0 && errno != EOPNOTSUPP && errno != ENOSYS) RaiseFileError(errno, path);
}

}  // namespace

void WriteOver(FileDescriptor& file, const std::string& bytes, const std::string& path) {
  Reserve(file.Get(), bytes.size(), path);
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n =
        ::pwrite(file.Get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) RaiseFileError(errno, path);
    done += static_cast<std::size_t>(n);
  }
  if (::ftruncate(file.Get(), static_cast<off_t>(bytes.size())) != 0) RaiseFileError(errno, path);
  if (::fsync(file.Get()) != 0) RaiseFileError(errno, path);
  if (int error = file.Close()) RaiseFileError(error, path);
}

void WriteInPlace(const std::string& path, const std::string& bytes) {
  FileDescriptor file(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
  if (!file) RaiseFileError(errno, path);
  WriteOver(file, bytes, path);
}

}  // namespace config
