#include "cli/progress.h"

#include <unistd.h>

#include <cerrno>

#include "cli/printable.h"

void Progress::Step(const std::string& port, const std::string& step) {
  if (quiet_) return;
  const std::string line = Printable(port) + ": " + Printable(step) + "\n";
  std::lock_guard hold(mutex_);
  WriteAllTo(STDERR_FILENO, line);
}

bool WriteAllTo(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}
