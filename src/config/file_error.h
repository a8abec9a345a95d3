// The error a configuration file operation raises: one of the runtime's file
// messages, chosen from the system's error number in one place.
#pragma once

#include <stdexcept>
#include <string>

namespace config {

class EFileError : public std::runtime_error {
 public:
  EFileError(const std::string& message, int errorNumber)
      : std::runtime_error(message), ErrorNumber(errorNumber) {}

  // The errno the operation failed with.
  int ErrorNumber;
};

// Raises the error for errno `errorNumber` from an operation on `path`:
// "File not found", "Invalid filename" (a folder of the path is missing or
// not a folder, or the name is unusable), "Too many open files", "File
// access denied", or "I/O error %d" with the errno itself (28 for a full
// disk, 5 for a failed read), since that is the number Linux tools explain.
[[noreturn]] void RaiseFileError(int errorNumber, const std::string& path);

}  // namespace config
