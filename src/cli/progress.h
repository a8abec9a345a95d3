// Lines on standard error while the devices work, one per step, each whole
// however many device threads write at once; --quiet silences the steps.
#pragma once

#include <mutex>
#include <string>

class Progress {
 public:
  explicit Progress(bool quiet) : quiet_(quiet) {}

  // "<port>: <step>", unless quiet.
  void Step(const std::string& port, const std::string& step);

 private:
  bool quiet_;
  std::mutex mutex_;
};

// Writes the whole text to a descriptor, retrying short writes; false when
// it could not.
bool WriteAllTo(int fd, const std::string& text);
