// The error reports raised while one is on screen, waiting their turn in the
// order they came. A report that comes again before its turn is kept once,
// with the number of times it came, so a fault that repeats every second
// waits as one report, not thousands.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

class ReportQueue {
 public:
  void Add(const std::string& text);
  // The text of the next report to show, saying how often it came; none
  // when nothing waits.
  std::optional<std::string> Next();

 private:
  struct Waiting {
    std::string Text;
    uint64_t Times;
  };
  std::deque<Waiting> waiting_;
};
