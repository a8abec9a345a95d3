#include "port_link.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace kestrix {

namespace fs = std::filesystem;

std::string PortFolderPath() {
  if (const char* ports = std::getenv("MORVEL_PORTS"); ports && *ports) return ports;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
    return std::string(config) + "/morvel/ports";
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.config/morvel/ports";
}

PortLink::PortLink(unsigned com, const std::string& target) : target_(target) {
  fs::path folder = PortFolderPath();
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) throw std::runtime_error("cannot make the port folder " + folder.string());
  path_ = (folder / ("com" + std::to_string(com))).string();
  // A link left by a simulator that was killed points nowhere and may go;
  // one that leads to a live device belongs to someone else.
  if (fs::is_symlink(fs::symlink_status(path_))) {
    if (fs::exists(path_, error))
      throw std::runtime_error(path_ + " is already in use (it leads to " +
                               fs::read_symlink(path_, error).string() + ")");
    fs::remove(path_, error);
  } else if (fs::exists(fs::symlink_status(path_))) {
    throw std::runtime_error(path_ + " is already in use");
  }
  if (symlink(target.c_str(), path_.c_str()) != 0)
    throw std::runtime_error("cannot make the link " + path_ + ": " + std::strerror(errno));
}

PortLink::~PortLink() {
  std::error_code error;
  // Only our own link: someone may have replaced it meanwhile.
  if (fs::read_symlink(path_, error) == target_) fs::remove(path_, error);
}

}  // namespace kestrix
