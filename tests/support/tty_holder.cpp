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

// Writes until the tty takes no more; the count of bytes it took.
size_t FillOutput(int fd) {
  const std::string chunk(1024, 'h');
  size_t queued = 0;
  for (ssize_t n; (n = write(fd, chunk.data(), chunk.size())) > 0;)
    queued += static_cast<size_t>(n);
  return queued;
}

std::string Describe(int fd) {
  termios settings{};
  int exclusive = 0;
  if (tcgetattr(fd, &settings) != 0 || ioctl(fd, TIOCGEXCL, &exclusive) != 0) return "gone";
  std::string seen;
  if (settings.c_lflag & ICANON) seen += "icanon ";
  if (settings.c_lflag & ECHO) seen += "echo ";
  if (settings.c_oflag & OPOST) seen += "opost ";
  if (exclusive) seen += "excl ";
  return seen.empty() ? "none" : seen.substr(0, seen.size() - 1);
}

[[noreturn]] void Hold(const std::string& path, int in, int out) {
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios settings{};
  size_t queued = 0;
  if (fd >= 0 && tcgetattr(fd, &settings) == 0) {
    settings.c_lflag |= ICANON | ECHO;
    settings.c_oflag |= OPOST;
    if (tcsetattr(fd, TCSANOW, &settings) == 0 && ioctl(fd, TIOCEXCL) == 0) queued = FillOutput(fd);
  }
  if (write(out, &queued, sizeof queued) != sizeof queued) _exit(1);
  for (char request; read(in, &request, 1) == 1;) {
    std::string seen = Describe(fd);
    if (write(out, seen.data(), seen.size()) < 0) break;
  }
  _exit(0);
}

}  // namespace

TtyHolder::TtyHolder(const std::string& path) {
  int requests[2], replies[2];
  if (pipe(requests) != 0 || pipe(replies) != 0) throw std::runtime_error("pipe");
  child_ = fork();
  if (child_ == 0) {
    close(requests[1]);
    close(replies[0]);
    Hold(path, requests[0], replies[1]);
  }
  close(requests[0]);
  close(replies[1]);
  toChild_ = requests[1];
  fromChild_ = replies[0];
  pollfd ready{fromChild_, POLLIN, 0};
  if (poll(&ready, 1, 10000) != 1 || read(fromChild_, &queued_, sizeof queued_) != sizeof queued_) {
    queued_ = 0;
  }
}

TtyHolder::~TtyHolder() {
  close(toChild_);
  close(fromChild_);
  kill(child_, SIGKILL);
  waitpid(child_, nullptr, 0);
}

std::string TtyHolder::Look() {
  if (write(toChild_, "?", 1) != 1) return "no holder";
  pollfd answer{fromChild_, POLLIN, 0};
  char seen[64] = {};
  if (poll(&answer, 1, 10000) != 1) return "no answer";
  ssize_t n = read(fromChild_, seen, sizeof seen);
  return n > 0 ? std::string(seen, static_cast<size_t>(n)) : "no answer";
}

}  // namespace morvel::test
