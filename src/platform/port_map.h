// Which Linux device a port name "\\.\COMn" stands for.
//
// COMn first resolves to the entry "comN" (any letter case, normally a
// symbolic link to a device) in the port folder: $MORVEL_PORTS when set, else
// $XDG_CONFIG_HOME/morvel/ports, else ~/.config/morvel/ports. Without such an
// entry the fixed table applies: COM1-8 /dev/ttyS0-7, COM9-24 /dev/ttyUSB0-15,
// COM25-40 /dev/ttyACM0-15, COM41-50 /dev/ttyAMA0-9.
#pragma once

#include <optional>
#include <string>

// The port folder in force (it need not exist).
std::string PortFolder();

// The device path for COM number n (n >= 1), or nothing when n is not mapped.
std::optional<std::string> ComPortDevicePath(unsigned n);

// The COM number in a name of the form "\\.\COMn" or "COMn" (case-insensitive),
// or nothing for any other name.
std::optional<unsigned> ComNumberFromName(const std::string& name);

// The device name "\\.\COMn" of COM number n, the form ComNumberFromName reads.
std::string ComPortName(unsigned n);
