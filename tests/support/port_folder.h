// A temporary port folder ($MORVEL_PORTS) for a test: comN links made here are
// what "\\.\COMn" opens. The variable and the folder go away with the object.
#pragma once

#include <string>

namespace morvel::test {

class PortFolder {
 public:
  PortFolder();
  ~PortFolder();
  PortFolder(const PortFolder&) = delete;
  PortFolder& operator=(const PortFolder&) = delete;

  const std::string& Path() const { return path_; }
  // Makes "comN" a symbolic link to `device`.
  void Link(unsigned n, const std::string& device);
  void Unlink(unsigned n);

 private:
  std::string path_;
  std::string previous_;
  bool hadPrevious_ = false;
};

}  // namespace morvel::test
