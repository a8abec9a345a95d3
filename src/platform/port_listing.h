// Which ports the port dialog offers, decided without opening any of them:
// an open of a real port pulses DTR (resetting boards, hanging up modems, and
// COM1 is often the system console), and a probe of a tty another program
// holds would disturb that program.
#pragma once

#include <string>

// True when the device COMn stands for (port_map.h) is a character device
// node, also one this user may not open (opening it then says why), unless
// sysfs knows it as a serial port with no UART behind it.
bool ComPortListed(unsigned n);

// The same for one device path. `charDevices` is sysfs's folder of character
// devices by number, where a serial port's `type` is 0 when no UART answered.
bool DeviceNodeListed(const std::string& path, const std::string& charDevices = "/sys/dev/char");
