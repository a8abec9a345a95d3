// The link comN in the port folder that makes the device a COM port for
// Morvel; it exists as long as this object does.
#pragma once

#include <string>

namespace kestrix {

// $MORVEL_PORTS, else $XDG_CONFIG_HOME/morvel/ports, else ~/.config/morvel/ports.
std::string PortFolderPath();

class PortLink {
 public:
  // Throws std::runtime_error when comN is taken by a live device or the
  // folder cannot be made.
  PortLink(unsigned com, const std::string& target);
  ~PortLink();
  PortLink(const PortLink&) = delete;
  PortLink& operator=(const PortLink&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string target_;
};

}  // namespace kestrix
