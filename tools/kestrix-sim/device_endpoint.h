// The device's end of the serial line: the master side of a new
// pseudo-terminal, or an existing serial device (a null-modem cable).
#pragma once

#include <string>

namespace kestrix {

class DeviceEndpoint {
 public:
  // Throws std::runtime_error with the system's reason.
  static DeviceEndpoint OpenPty();
  static DeviceEndpoint OpenTty(const std::string& path, int baud);

  DeviceEndpoint(DeviceEndpoint&& other) noexcept;
  DeviceEndpoint& operator=(DeviceEndpoint&&) = delete;
  ~DeviceEndpoint();

  int Fd() const { return fd_; }
  // The path a client opens: the pty's slave, or the device itself.
  const std::string& ClientPath() const { return clientPath_; }
  // Bytes written but not yet taken by the client.
  int Unread() const;
  // Closes the line; a client then sees a hang-up.
  void Close();

 private:
  DeviceEndpoint(int fd, int holdFd, std::string clientPath);
  int fd_ = -1;
  int holdFd_ = -1;
  std::string clientPath_;
};

}  // namespace kestrix
