#include <fcntl.h>
#include <grp.h>
#include <linux/major.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/baud_rate.h"
#include "platform/dcb_termios.h"
#include "platform/errors.h"
#include "platform/port_map.h"
#include "platform/serial_device.h"

namespace {

struct RefusedAccess {
  bool valid = false;
  std::string devicePath;
  std::string groupName;
};

thread_local RefusedAccess lastRefusal;

// The group whose members may open the device: only when its mode lets the
// group read and write, and only by name. Telling a user to join "root" (of
// a 0600 node) or a bare number helps nobody; the device's permissions must
// change instead.
std::string GroupThatMayOpen(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return "";
  if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) return "";
  group* entry = getgrgid(info.st_gid);
  return entry != nullptr ? entry->gr_name : "";
}

// A pseudo-terminal slave lives as long as its master, and so does its
// exclusive flag: a holder killed before it could clear it would leave the
// port refused to everyone but root until the peer program restarts. Its
// exclusion is the flock alone, which the kernel drops with the holder.
bool IsPseudoTerminalSlave(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) return false;
  const unsigned deviceMajor = major(info.st_rdev);
  return deviceMajor == PTY_SLAVE_MAJOR ||
         (deviceMajor >= UNIX98_PTY_SLAVE_MAJOR &&
          deviceMajor < UNIX98_PTY_SLAVE_MAJOR + UNIX98_PTY_MAJOR_COUNT);
}

// A name that is no COM name but an absolute path is the device's own.
std::optional<std::string> DevicePathOf(const char* fileName) {
  if (fileName == nullptr || fileName[0] != '/') return std::nullopt;
  return fileName;
}

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

DWORD OpenError(int err) {
  switch (err) {
    // A node whose hardware is gone (an unplugged adapter, a pty whose other
    // side is closed) counts as a port that does not exist, and so does a
    // port-folder link to a folder.
    case ENOENT:
    case ENOTDIR:
    case EISDIR:
    case EIO:
    case ENXIO:
    case ENODEV:
      return ERROR_FILE_NOT_FOUND;
  }
  return Win32ErrorFromErrno(err);
}

}  // namespace

HANDLE CreateFileA(const char* fileName, DWORD, DWORD, SECURITY_ATTRIBUTES*, DWORD, DWORD, HANDLE) {
  lastRefusal = RefusedAccess{};
  auto number = fileName != nullptr ? ComNumberFromName(fileName) : std::nullopt;
  auto path = number ? ComPortDevicePath(*number) : DevicePathOf(fileName);
  if (!path) return Fail(ERROR_FILE_NOT_FOUND);

  int fd = -1;
  do {
    // A USB adapter's open can sleep, and a signal may cut it short.
    fd = open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    int err = errno;
    DWORD error = OpenError(err);
    if (error == ERROR_PORT_PERMISSION_DENIED) {
      lastRefusal = RefusedAccess{true, *path, GroupThatMayOpen(*path)};
    }
    return Fail(error);
  }
  if (!isatty(fd)) {
    close(fd);
    return Fail(ERROR_FILE_NOT_FOUND);  // not a serial device
  }
  // Another program's exclusive claim binds root too: root would pass the
  // kernel's check, and then change that program's settings under it.
  if (int exclusive = 0; ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
    close(fd);
    return Fail(ERROR_ACCESS_DENIED);
  }
  // Both locks, as neither is enough alone: TIOCEXCL makes the kernel refuse
  // further opens of the tty (EBUSY), but not to root; flock is advisory, but
  // it stops every program that asks for it, root included, and it closes the
  // gap between our open() and our TIOCEXCL.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    close(fd);
    return Fail(err == EWOULDBLOCK ? ERROR_ACCESS_DENIED : Win32ErrorFromErrno(err));
  }

  auto device = std::make_shared<SerialDevice>(fd, *path);
  if (!device->ready) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  device->comNumber = number.value_or(0);
  device->pseudoTerminal = IsPseudoTerminalSlave(fd);
  if (!device->pseudoTerminal) device->ownsExclusive = ioctl(fd, TIOCEXCL) == 0;
  termios current{};
  if (tcgetattr(fd, &current) != 0) {
    int err = errno;
    return Fail(OpenError(err));
  }
  device->original = current;
  device->originalRate = GetBaudRate(fd);
  DWORD error = MakeRawAndDescribe(fd, &device->dcb, &device->settingsChanged);
  if (error != ERROR_SUCCESS) return Fail(error);
  device->timeouts = COMMTIMEOUTS{};
  {
    std::lock_guard lock(device->mutex);
    device->RebaseLinesLocked();
    if (device->eventBase.counts) device->errorBase = *device->eventBase.counts;
  }
  return RegisterHandle(device);
}

BOOL GetPortAccessInfo(PortAccessInfo* info) {
  if (!lastRefusal.valid || info == nullptr) return FALSE;
  std::snprintf(info->devicePath, sizeof info->devicePath, "%s", lastRefusal.devicePath.c_str());
  std::snprintf(info->groupName, sizeof info->groupName, "%s", lastRefusal.groupName.c_str());
  return TRUE;
}
