#include "support/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace morvel::test {

namespace {

[[noreturn]] void Fail(const char* what) {
  throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

constexpr size_t kReadChunk = 4096;

// Reads from `fd` while `wanted` (given what arrived) names more bytes to
// take, at most that many at a time, until the time-out passes.
std::string ReadWhile(int fd, const std::function<size_t(const std::string&)>& wanted,
                      std::chrono::milliseconds timeout) {
  std::string got;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (size_t more = wanted(got); more > 0; more = wanted(got)) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buf[kReadChunk];
    ssize_t n = read(fd, buf, std::min(sizeof buf, more));
    if (n > 0) {
      got.append(buf, static_cast<size_t>(n));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      // EIO: no slave open at the moment; wait a little and try again.
      poll(nullptr, 0, 5);
    }
  }
  return got;
}

}  // namespace

PtyPair::PtyPair() {
  int slave = -1;
  char name[256] = {};
  termios raw{};
  cfmakeraw(&raw);
  if (openpty(&master_, &slave, name, &raw, nullptr) != 0) Fail("openpty");
  slavePath_ = name;
  // Closed right away: the code under test opens the slave itself. The master
  // stays readable; a write to it before the slave is opened is kept.
  close(slave);
  int flags = fcntl(master_, F_GETFL);
  fcntl(master_, F_SETFL, flags | O_NONBLOCK);
}

PtyPair::~PtyPair() {
  if (master_ >= 0) close(master_);
  if (slaveHold_ >= 0) close(slaveHold_);
}

void PtyPair::HoldSlaveOpen() {
  if (slaveHold_ < 0) {
    slaveHold_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slaveHold_ < 0) Fail("open slave");
  }
}

void PtyPair::Write(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) Fail("write master");
    pollfd p{master_, POLLOUT, 0};
    if (poll(&p, 1, 5000) <= 0) throw std::runtime_error("master not writable for 5 s");
  }
}

std::string PtyPair::ReadUntil(const std::string& marker, std::chrono::milliseconds timeout) {
  return ReadWhile(
      master_,
      [&](const std::string& got) {
        return got.find(marker) == std::string::npos ? kReadChunk : size_t{0};
      },
      timeout);
}

std::string PtyPair::ReadExactly(size_t count, std::chrono::milliseconds timeout) {
  return ReadWhile(
      master_, [count](const std::string& got) { return count - got.size(); }, timeout);
}

std::string PtyPair::ReadAvailable(std::chrono::milliseconds quiet) {
  std::string got;
  for (;;) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(quiet.count())) <= 0) break;
    char buf[kReadChunk];
    ssize_t n = read(master_, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

void PtyPair::CloseMaster() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

}  // namespace morvel::test
