// The sample state installed with the simulator, used when no --state is
// given. It is found from the program's own place, so that an installed tree
// works wherever it was put (a package, a --prefix, an unpacked .deb).
#pragma once

#include <string>

namespace kestrix {

// The installed sample state file, or empty when there is none.
std::string DefaultStateFile();

}  // namespace kestrix
