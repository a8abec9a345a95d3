// The tool chain that built Morvel, as the dispatch log's header names it.
#pragma once

#include <string>

namespace ser {

// For example "GCC 12.2.0" or "Clang 14.0.6"; "Unknown" for other compilers.
std::string CompilerName();

}  // namespace ser
