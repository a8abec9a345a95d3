// Opens "\\.\COMn" as the serial line does, for tests of the platform layer.
#pragma once

#include <string>

#include "platform/serial.h"

namespace morvel::test {

inline HANDLE OpenCom(unsigned n) {
  std::string name = "\\\\.\\COM" + std::to_string(n);
  return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace morvel::test
