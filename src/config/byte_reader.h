// Reading a configuration file: the open that takes only a plain file and
// cannot hang on a pipe or a device, and its bytes in blocks up to the end
// or a Ctrl-Z. Shared by the loaders; not part of the config interface.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace config {

constexpr char kEndOfFile = 26;  // Ctrl-Z ends a text file where it stands

// A plain file opened for reading; raises EFileError, also for one larger
// than any configuration could be.
int OpenPlainFile(const std::string& path);

class ByteReader {
 public:
  ByteReader(int fd, const std::string& path) : fd_(fd), path_(path), buffer_(1 << 16) {}

  // Past the last byte, or at a Ctrl-Z.
  bool AtEnd();
  // The bytes read but not yet taken; not empty unless AtEnd.
  std::string_view Unread() const { return {buffer_.data() + next_, size_ - next_}; }
  void Take(std::size_t count) { next_ += count; }

 private:
  void Fill();

  int fd_;
  const std::string& path_;
  std::vector<char> buffer_;
  std::size_t next_ = 0;
  std::size_t size_ = 0;
  std::size_t total_ = 0;
  bool ended_ = false;
};

// Hands `addBytes` the bytes of the next line, in pieces, up to its LF (not
// handed over); nothing once the file ended. A Ctrl-Z is left unread, so
// every later line is empty too.
template <class AddBytes>
void ReadLineInto(ByteReader& reader, AddBytes addBytes) {
  while (!reader.AtEnd()) {
    std::string_view bytes = reader.Unread();
    std::size_t end = 0;
    while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != kEndOfFile) ++end;
    addBytes(bytes.substr(0, end));
    if (end == bytes.size()) {
      reader.Take(end);
    } else {
      reader.Take(bytes[end] == '\n' ? end + 1 : end);
      return;
    }
  }
}

}  // namespace config
