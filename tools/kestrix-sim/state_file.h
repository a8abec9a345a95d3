// The device state as a JSON file (schema in README.md): loaded whole or not
// at all, and saved so that a crash mid-write never leaves half a file.
#pragma once

#include <stdexcept>
#include <string>

#include "sim_state.h"

namespace kestrix {

class StateFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws StateFileError naming the file and the offending entry.
SimState LoadState(const std::string& path);
SimState ParseState(const std::string& json);  // same checks, from text
std::string StateToJson(const SimState& state);
// Throws StateFileError when the file cannot be written.
void SaveState(const SimState& state, const std::string& path);

}  // namespace kestrix
