#include "device_endpoint.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace kestrix {

namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

speed_t Speed(int baud) {
  switch (baud) {
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
  }
  return B19200;
}

}  // namespace

DeviceEndpoint::DeviceEndpoint(int fd, int holdFd, std::string clientPath)
    : fd_(fd), holdFd_(holdFd), clientPath_(std::move(clientPath)) {}

DeviceEndpoint::DeviceEndpoint(DeviceEndpoint&& other) noexcept
    : fd_(other.fd_), holdFd_(other.holdFd_), clientPath_(std::move(other.clientPath_)) {
  other.fd_ = -1;
  other.holdFd_ = -1;
}

DeviceEndpoint::~DeviceEndpoint() {
  Close();
}

int DeviceEndpoint::Unread() const {
  int count = 0;
  // On a pty the client's input queue is visible through the slave we hold.
  bool ok =
      holdFd_ >= 0 ? ioctl(holdFd_, FIONREAD, &count) == 0 : ioctl(fd_, TIOCOUTQ, &count) == 0;
  return ok ? count : 0;
}

void DeviceEndpoint::Close() {
  if (fd_ >= 0) close(fd_);
  if (holdFd_ >= 0) close(holdFd_);
  fd_ = -1;
  holdFd_ = -1;
}

DeviceEndpoint DeviceEndpoint::OpenPty() {
  int master = -1;
  int slave = -1;
  char name[256] = {};
  // Raw from the start: with the default line discipline the slave would
  // echo the device's own replies back to it as input.
  termios raw{};
  cfmakeraw(&raw);
  cfsetspeed(&raw, B19200);
  if (openpty(&master, &slave, name, &raw, nullptr) != 0) Fail("cannot open a pseudo-terminal");
  // The device keeps the slave open itself. Otherwise every time the client
  // closes it the master reports a hang-up on each poll (a busy loop), and
  // a client that reopens it could not be told from one that left.
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  fcntl(master, F_SETFD, FD_CLOEXEC);
  fcntl(slave, F_SETFD, FD_CLOEXEC);
  return DeviceEndpoint(master, slave, name);
}

DeviceEndpoint DeviceEndpoint::OpenTty(const std::string& path, int baud) {
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) Fail("cannot open " + path);
  termios t{};
  if (tcgetattr(fd, &t) != 0) {
    int saved = errno;
    close(fd);
    errno = saved;
    Fail(path + " is not a serial device");
  }
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  cfsetspeed(&t, Speed(baud));
  tcsetattr(fd, TCSANOW, &t);
  return DeviceEndpoint(fd, -1, path);
}

}  // namespace kestrix
