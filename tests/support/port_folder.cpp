#include "support/port_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace morvel::test {

PortFolder::PortFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "morvel-ports-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  if (const char* old = std::getenv("MORVEL_PORTS")) {
    previous_ = old;
    hadPrevious_ = true;
  }
  setenv("MORVEL_PORTS", path_.c_str(), 1);
}

PortFolder::~PortFolder() {
  if (hadPrevious_) {
    setenv("MORVEL_PORTS", previous_.c_str(), 1);
  } else {
    unsetenv("MORVEL_PORTS");
  }
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void PortFolder::Link(unsigned n, const std::string& device) {
  Unlink(n);
  std::filesystem::create_symlink(device, path_ + "/com" + std::to_string(n));
}

void PortFolder::Unlink(unsigned n) {
  std::error_code ignored;
  std::filesystem::remove(path_ + "/com" + std::to_string(n), ignored);
}

}  // namespace morvel::test
