#include "config/byte_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "config/config_file.h"
#include "config/file_error.h"

namespace config {

namespace {

[[noreturn]] void RaiseTooLarge() {
  throw EFileError("File too large (a configuration file is at most 1 MiB)", EFBIG);
}

}  // namespace

int OpenPlainFile(const std::string& path) {
  // Non-blocking, so that opening a pipe or a device cannot hang; only a
  // plain file is read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) RaiseFileError(errno, path);
  struct stat info {};
  int error = ::fstat(fd, &info) != 0 ? errno : 0;
  if (error == 0 && S_ISDIR(info.st_mode)) error = EISDIR;
  if (error == 0 && !S_ISREG(info.st_mode)) error = EACCES;
  if (error != 0 || static_cast<std::size_t>(info.st_size) > kMaxConfigFileSize) {
    ::close(fd);
    if (error != 0) RaiseFileError(error, path);
    RaiseTooLarge();
  }
  return fd;
}

bool ByteReader::AtEnd() {
  if (next_ == size_ && !ended_) Fill();
  return next_ == size_ || buffer_[next_] == kEndOfFile;
}

void ByteReader::Fill() {
  ssize_t n;
  do {
    n = ::read(fd_, buffer_.data(), buffer_.size());
  } while (n < 0 && errno == EINTR);
  if (n < 0) RaiseFileError(errno, path_);
  // Also when the file grows while it is read.
  total_ += static_cast<std::size_t>(n);
  if (total_ > kMaxConfigFileSize) RaiseTooLarge();
  next_ = 0;
  size_ = static_cast<std::size_t>(n);
  ended_ = n == 0;
}

}  // namespace config
