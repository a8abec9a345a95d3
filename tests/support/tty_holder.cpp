#include "support/tty_holder.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

namespace morvel::test {

namespace {

// Holds the tty until killed; first tells how many bytes it left queued.
[[noreturn]] void Hold(const std::string& path, int out) {
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios settings{};
  size_t queued = 0;
  if (fd >= 0 && tcgetattr(fd, &settings) == 0) {
    settings.c_lflag |= ICANON | ECHO;
    settings.c_oflag |= OPOST;
    if (tcsetattr(fd, TCSANOW, &settings) == 0 && ioctl(fd, TIOCEXCL) == 0) {
      const std::string chunk(1024, 'h');
      for (ssize_t n; (n = write(fd, chunk.data(), chunk.size())) > 0;) {
        queued += static_cast<size_t>(n);
      }
    }
  }
  [[maybe_unused]] ssize_t n = write(out, &queued, sizeof queued);
  for (;;) pause();
}

}  // namespace

TtyHolder::TtyHolder(const std::string& path) : path_(path) {
  int report[2];
  if (pipe(report) != 0) throw std::runtime_error("pipe");
  child_ = fork();
  if (child_ == 0) {
    close(report[0]);
    Hold(path, report[1]);
  }
  close(report[1]);
  pollfd ready{report[0], POLLIN, 0};
  if (poll(&ready, 1, 10000) != 1 || read(report[0], &queued_, sizeof queued_) != sizeof queued_) {
    queued_ = 0;
  }
  close(report[0]);
}

TtyHolder::~TtyHolder() {
  kill(child_, SIGKILL);
  waitpid(child_, nullptr, 0);
}

std::string TtyHolder::Look() const {
  int fd = open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios settings{};
  int exclusive = 0;
  bool seen = fd >= 0 && tcgetattr(fd, &settings) == 0 && ioctl(fd, TIOCGEXCL, &exclusive) == 0;
  if (fd >= 0) close(fd);
  if (!seen) return "gone";
  std::string kept;
  if (settings.c_lflag & ICANON) kept += "icanon ";
  if (settings.c_lflag & ECHO) kept += "echo ";
  if (settings.c_oflag & OPOST) kept += "opost ";
  if (exclusive) kept += "excl ";
  return kept.empty() ? "none" : kept.substr(0, kept.size() - 1);
}

}  // namespace morvel::test
