// A buffered text file for the trace and log dumps: lines end in CR LF, the
// first failure of any write is kept and reported by Close. Failures are
// error numbers the message table words for a user: Win32 numbers, and the
// runtime's kDiskFull for a full disk.
#pragma once

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace ser {

// The runtime's I/O error number for a full disk: "Disk is full".
constexpr DWORD kDiskFull = 101;

class TextFileWriter {
 public:
  TextFileWriter();
  ~TextFileWriter();
  TextFileWriter(const TextFileWriter&) = delete;
  TextFileWriter& operator=(const TextFileWriter&) = delete;

  // Appends to an existing file when `append` is set, else creates or
  // truncates it. Returns 0 or the error of the failed open.
  DWORD Open(const std::string& fileName, bool append);

  void Put(char c) {
    if (used_ == buffer_.size()) Flush();
    buffer_[used_++] = c;
  }
  void Write(std::string_view text) {
    if (text.empty()) return;  // an empty view may carry no pointer for memcpy
    if (text.size() > buffer_.size() - used_) return WriteAcrossFlush(text);
    std::memcpy(buffer_.data() + used_, text.data(), text.size());
    used_ += text.size();
  }
  void EndLine() { Write("\r\n"); }

  // For text put together in place: room for at least `n` (at most 64 KiB)
  // characters at the returned position; Advance then counts those of them
  // that were put there.
  char* Room(std::size_t n) {
    if (buffer_.size() - used_ < n) Flush();
    return buffer_.data() + used_;
  }
  void Advance(std::size_t n) { used_ += n; }

  // Flushes and closes; returns 0, or the first write error, or the close's.
  DWORD Close();

 private:
  void Flush();
  void WriteAcrossFlush(std::string_view text);

  int fd_ = -1;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  DWORD error_ = 0;
};

}  // namespace ser
