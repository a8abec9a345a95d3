// A buffered text file for the trace and log dumps: lines end in CR LF, the
// first failure of any write is kept and reported by Close. Failures are
// error numbers the message table words for a user: Win32 numbers, and the
// runtime's kDiskFull for a full disk. Text longer than one buffer is
// written by a thread of its own, one full buffer while the next is filled,
// so that a long dump costs little more than its writing.
#pragma once

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
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
  // Hands the filled buffer to the writer thread, started on the first call.
  void Flush();
  void WriteAcrossFlush(std::string_view text);
  // Writes it all, or stops at the first failure and returns its error.
  DWORD WriteOut(const char* data, std::size_t size) const;
  void WriterLoop();
  // Waits for the buffer in hand to be written and ends the writer thread.
  void StopWriter();

  int fd_ = -1;
  std::vector<char> buffer_;  // being filled
  std::size_t used_ = 0;
  DWORD error_ = 0;  // under mutex_ while the writer thread runs

  std::thread writer_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<char> handed_;  // being written while busy_
  std::size_t handedSize_ = 0;
  bool busy_ = false;
  bool ending_ = false;
};

}  // namespace ser
