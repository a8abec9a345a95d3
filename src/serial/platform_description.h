// The operating system as the dispatch log's header describes it.
#pragma once

#include <string>

#include "platform/version.h"

namespace ser {

// Names the Windows family and release from its version numbers; on Linux
// the kernel's name and release.
std::string PlatformDescription(const OSVERSIONINFOA& info);

// The description of the system Morvel runs on.
std::string CurrentPlatformDescription();

}  // namespace ser
