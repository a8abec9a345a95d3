// Whether a serial device is still there, told without any I/O on the line,
// so that asking once a second costs nothing: an open device that went away
// (a pulled adapter, a pseudo-terminal whose other side closed, a removed
// node), and what a COM number stands for while its device is gone.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <string>

#include "platform/win_types.h"

enum class DevicePresence { kPresent, kHungUp, kRemoved };

// For an open device: hung up once its line has (the hang-up the waits
// reported, or one a poll finds now); removed once its COM number no longer
// leads to it (its node removed, its port-folder link removed or pointing to
// another device). An invalid handle counts as present, as there is nothing
// to tell about it.
DevicePresence GetDevicePresence(HANDLE device);

// What COM n stands for at this moment, from a stat of the node its port-map
// entry leads to: a changed look is a device that may be worth opening.
struct PortLook {
  bool exists = false;  // a character device node
  dev_t device = 0;
  ino_t node = 0;
  mode_t mode = 0;
  uid_t owner = 0;
  gid_t group = 0;
  timespec changed{};  // a new owner or mode, or an access list, shows here

  bool operator==(const PortLook& other) const;
};

PortLook LookAtComPort(unsigned n);
// The same for a device path (a link is followed).
PortLook LookAtDevice(const std::string& path);

// What an open device's node is, looked at through the line: a node made
// later in its place (a device plugged in again, a new pseudo-terminal of
// the same number) differs from it at least in when it changed.
PortLook LookAtOpenDevice(HANDLE device);
