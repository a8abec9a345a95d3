// Another program holding a tty the way many do: a child process that opens
// it plainly (no lock), sets canonical mode with echo and output processing,
// claims it with TIOCEXCL and leaves output queued that the peer has not read.
#pragma once

#include <sys/types.h>

#include <string>

namespace morvel::test {

class TtyHolder {
 public:
  explicit TtyHolder(const std::string& path);
  ~TtyHolder();
  TtyHolder(const TtyHolder&) = delete;
  TtyHolder& operator=(const TtyHolder&) = delete;

  // Bytes it wrote that wait for the peer; 0 when it could not hold the tty.
  size_t Queued() const { return queued_; }
  // Which of its settings are still in force on the tty: "icanon echo opost
  // excl" when all are, "none" when none is. Needs root, past its TIOCEXCL.
  std::string Look() const;

 private:
  std::string path_;
  pid_t child_ = -1;
  size_t queued_ = 0;
};

}  // namespace morvel::test
