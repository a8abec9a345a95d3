#include "serial/text_file_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/errors.h"

namespace ser {

namespace {

// Large enough that a multi-megabyte dump costs a few dozen system calls.
constexpr std::size_t kBufferBytes = 1 << 18;

// A file refused or a disk full, in the words a user understands; the
// platform's own mapping speaks of ports (EACCES there is a port this user
// may not open) and calls anything it does not know a failing device.
DWORD FileError(int err) {
  switch (err) {
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
      return kDiskFull;
    case ENOENT:
    case ENOTDIR:
      // Creating a file can only miss a folder of its path (or have no name).
      return ERROR_PATH_NOT_FOUND;
  }
  return Win32ErrorFromErrno(err);
}

}  // namespace

TextFileWriter::TextFileWriter() : buffer_(kBufferBytes) {}

TextFileWriter::~TextFileWriter() {
  StopWriter();
  if (fd_ >= 0) ::close(fd_);
}

DWORD TextFileWriter::Open(const std::string& fileName, bool append) {
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
  fd_ = ::open(fileName.c_str(), flags, 0666);
  return fd_ >= 0 ? 0 : FileError(errno);
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
  if (!writer_.joinable()) {
    handed_.resize(buffer_.size());
    try {
      writer_ = std::thread([this] { WriterLoop(); });
    } catch (const std::system_error&) {
      // No thread to be had: this one writes.
      if (error_ == 0) error_ = WriteOut(buffer_.data(), used_);
      used_ = 0;
      return;
    }
  }
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !busy_; });
    buffer_.swap(handed_);
    handedSize_ = used_;
    busy_ = true;
  }
  changed_.notify_all();
  used_ = 0;
}

DWORD TextFileWriter::WriteOut(const char* data, std::size_t size) const {
  while (size > 0) {
    ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return FileError(errno);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

void TextFileWriter::WriterLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return busy_ || ending_; });
    if (!busy_) return;
    if (error_ == 0) {
      lock.unlock();
      DWORD error = WriteOut(handed_.data(), handedSize_);
      lock.lock();
      error_ = error;
    }
    busy_ = false;
    changed_.notify_all();
  }
}

void TextFileWriter::StopWriter() {
  if (!writer_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  changed_.notify_all();
  writer_.join();
}

DWORD TextFileWriter::Close() {
  if (fd_ < 0) return error_;
  StopWriter();
  if (error_ == 0) error_ = WriteOut(buffer_.data(), used_);
  used_ = 0;
  if (::close(fd_) != 0 && error_ == 0) error_ = FileError(errno);
  fd_ = -1;
  return error_;
}

}  // namespace ser
