#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <vector>

#include "config/config_file.h"
#include "config/file_descriptor.h"
#include "config/kept_line.h"

namespace config {

namespace {

constexpr char kEndOfFile = 26;  // Ctrl-Z ends a text file where it stands

[[noreturn]] void RaiseTooLarge() {
  throw EFileError("File too large (a configuration file is at most 1 MiB)", EFBIG);
}

// The file's bytes, read in blocks.
class ByteReader {
 public:
  ByteReader(int fd, const std::string& path) : fd_(fd), path_(path), buffer_(1 << 16) {}

  // Past the last byte, or at a Ctrl-Z.
  bool AtEnd() {
    if (next_ == size_ && !ended_) Fill();
    return next_ == size_ || buffer_[next_] == kEndOfFile;
  }
  // The bytes read but not yet taken; not empty unless AtEnd.
  std::string_view Unread() const { return {buffer_.data() + next_, size_ - next_}; }
  void Take(std::size_t count) { next_ += count; }

 private:
  void Fill() {
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

  int fd_;
  const std::string& path_;
  std::vector<char> buffer_;
  std::size_t next_ = 0;
  std::size_t size_ = 0;
  std::size_t total_ = 0;
  bool ended_ = false;
};

// The next line, up to its LF; empty once the file ended. A Ctrl-Z is left
// unread, so that every later line is empty too.
std::string ReadLine(ByteReader& reader, FieldKind kind) {
  KeptLine line(kind);
  while (!reader.AtEnd()) {
    std::string_view bytes = reader.Unread();
    std::size_t end = 0;
    while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != kEndOfFile) ++end;
    line.Add(bytes.substr(0, end));
    if (end == bytes.size()) {
      reader.Take(end);
    } else {
      reader.Take(bytes[end] == '\n' ? end + 1 : end);
      break;
    }
  }
  return line.Text();
}

}  // namespace

void LoadConfigFile(const std::string& path, const FieldSetter& setField) {
  // Non-blocking, so that opening a pipe or a device cannot hang; only a
  // plain file is read.
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!file) RaiseFileError(errno, path);
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) RaiseFileError(errno, path);
  if (S_ISDIR(info.st_mode)) RaiseFileError(EISDIR, path);
  if (!S_ISREG(info.st_mode)) RaiseFileError(EACCES, path);
  if (static_cast<std::size_t>(info.st_size) > kMaxConfigFileSize) RaiseTooLarge();

  ByteReader reader(file.Get(), path);
  if (!reader.AtEnd()) {
    for (std::size_t line = 0; line < kConfigFieldCount; ++line) {
      ConfigField field = FieldAt(line);
      setField(field, ReadLine(reader, KindOf(field)));
    }
  }
  if (int error = file.Close()) RaiseFileError(error, path);
}

}  // namespace config
