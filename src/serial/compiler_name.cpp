#include "serial/compiler_name.h"

namespace ser {

std::string CompilerName() {
#if defined(__clang__)
  return "Clang " __clang_version__;
#elif defined(__GNUC__)
  return "GCC " __VERSION__;
#else
  return "Unknown";
#endif
}

}  // namespace ser
