// An owned file descriptor, closed on every path out of a file operation.
#pragma once

#include <unistd.h>

#include <cerrno>

namespace config {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  explicit operator bool() const { return fd_ >= 0; }
  int Get() const { return fd_; }

  // Closes now; 0, or the errno of a failed close (the descriptor is gone
  // either way).
  int Close() {
    int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

}  // namespace config
