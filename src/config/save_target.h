// Which file a save writes when the chosen name is a symbolic link.
#pragma once

#include <string>

namespace config {

// `path`, or the file its links lead to, also when that file does not exist
// yet: a save writes there and the links stay. Raises "Invalid filename" for
// links that go round in a circle.
std::string SaveTarget(const std::string& path);

}  // namespace config
