#include "platform/device_presence.h"

#include <poll.h>
#include <sys/stat.h>

#include <mutex>

#include "platform/port_map.h"
#include "platform/serial_device.h"

DevicePresence GetDevicePresence(HANDLE handle) {
  DeviceUse device(handle);
  if (!device) return DevicePresence::kPresent;
  {
    std::lock_guard lock(device->mutex);
    if (device->hungUp) return DevicePresence::kHungUp;
  }
  // No events asked for: a hang-up and an error are reported all the same,
  // and waiting bytes are not mistaken for anything.
  pollfd line{device->fd, 0, 0};
  if (poll(&line, 1, 0) == 1 && (line.revents & (POLLHUP | POLLERR))) {
    return DevicePresence::kHungUp;
  }
  struct stat opened {};
  if (fstat(device->fd, &opened) != 0) return DevicePresence::kPresent;
  const PortLook look =
      device->comNumber != 0 ? LookAtComPort(device->comNumber) : LookAtDevice(device->path);
  return look.exists && look.device == opened.st_rdev && look.node == opened.st_ino
             ? DevicePresence::kPresent
             : DevicePresence::kRemoved;
}

bool PortLook::operator==(const PortLook& other) const {
  return exists == other.exists && device == other.device && node == other.node &&
         mode == other.mode && owner == other.owner && group == other.group &&
         changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
}

namespace {

PortLook LookOf(const struct stat& info) {
  PortLook look;
  if (!S_ISCHR(info.st_mode)) return look;
  look.exists = true;
  look.device = info.st_rdev;
  look.node = info.st_ino;
  look.mode = info.st_mode;
  look.owner = info.st_uid;
  look.group = info.st_gid;
  look.changed = info.st_ctim;
  return look;
}

}  // namespace

PortLook LookAtComPort(unsigned n) {
  const std::optional<std::string> path = ComPortDevicePath(n);
  return path ? LookAtDevice(*path) : PortLook{};
}

PortLook LookAtDevice(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return {};
  return LookOf(info);
}

PortLook LookAtOpenDevice(HANDLE handle) {
  DeviceUse device(handle);
  struct stat info {};
  if (!device || fstat(device->fd, &info) != 0) return {};
  return LookOf(info);
}
