// What a --port names: a COM number (COM3, com3 or 3), which the port map
// turns into a device as the window's port choice does, or a device path,
// a /dev/serial/by-id link among them.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct PortChoice {
  // As the user wrote it; COM numbers as COMn.
  std::string Label;
  // What the serial line opens: "\\.\COMn", or the absolute path.
  std::string OpenName;
  // The device it stands for, links followed where they lead somewhere: for
  // messages, and to tell two --port options that name one device.
  std::string DevicePath;
  // A name for files made per port (COM3, ttyUSB0).
  std::string FileStem;
};

// The ports in order, or the mistake in one of them: not a COM number nor a
// path, or naming a device another --port names already.
struct PortChoices {
  std::vector<PortChoice> Ports;
  std::string Mistake;
};
PortChoices ChoosePorts(const std::vector<std::string>& arguments);
