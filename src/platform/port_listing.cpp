#include "platform/port_listing.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <fstream>

#include "platform/port_map.h"

bool ComPortListed(unsigned n) {
  auto path = ComPortDevicePath(n);
  return path && DeviceNodeListed(*path);
}

bool DeviceNodeListed(const std::string& path, const std::string& charDevices) {
  struct stat info {};
  // A node this user may not even look at is listed as refused, as one it
  // may not open is.
  if (stat(path.c_str(), &info) != 0) return errno == EACCES;
  if (!S_ISCHR(info.st_mode)) return false;
  // The kernel makes ttyS0-3 (or more) whether or not a UART is there; only
  // serial ports have a `type`, so USB adapters and pseudo-terminals pass.
  std::ifstream typeFile(charDevices + "/" + std::to_string(major(info.st_rdev)) + ":" +
                         std::to_string(minor(info.st_rdev)) + "/type");
  int type = 0;
  return !(typeFile >> type) || type != 0;
}
