#include "serial/text_file_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/errors.h"

namespace ser {

namespace {

// Large enough that a multi-megabyte dump costs a few dozen system calls.
constexpr std::size_t kBufferBytes = 1 << 18;

}  // namespace

TextFileWriter::TextFileWriter() : buffer_(kBufferBytes) {}

TextFileWriter::~TextFileWriter() {
  if (fd_ >= 0) ::close(fd_);
}

DWORD TextFileWriter::Open(const std::string& fileName, bool append) {
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
  fd_ = ::open(fileName.c_str(), flags, 0666);
  if (fd_ >= 0) return 0;
  int err = errno;
  // Creating a file can only miss a folder of its path (or have no name).
  if (err == ENOENT || err == ENOTDIR) return ERROR_PATH_NOT_FOUND;
  return Win32ErrorFromErrno(err);
}

void TextFileWriter::WriteAcrossFlush(std::string_view text) {
  while (!text.empty()) {
    if (used_ == buffer_.size()) Flush();
    std::size_t n = std::min(text.size(), buffer_.size() - used_);
    std::memcpy(buffer_.data() + used_, text.data(), n);
    used_ += n;
    text.remove_prefix(n);
  }
}

void TextFileWriter::Flush() {
  const char* data = buffer_.data();
  std::size_t left = used_;
  used_ = 0;
  while (left > 0 && error_ == 0) {
    ssize_t n = ::write(fd_, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = Win32ErrorFromErrno(errno);
    } else {
      data += n;
      left -= static_cast<std::size_t>(n);
    }
  }
}

DWORD TextFileWriter::Close() {
  if (fd_ < 0) return error_;
  Flush();
  if (::close(fd_) != 0 && error_ == 0) error_ = Win32ErrorFromErrno(errno);
  fd_ = -1;
  return error_;
}

}  // namespace ser
