// A pseudo-terminal pair for tests: the test holds the master side and plays
// the peer; the code under test opens the slave like a serial device.
#pragma once

#include <chrono>
#include <string>

namespace morvel::test {

class PtyPair {
 public:
  // Opens a pair with the slave in raw mode (no echo, no line discipline).
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  int MasterFd() const { return master_; }

  // Writes all bytes to the master (the code under test reads them).
  void Write(const std::string& bytes);
  // Reads from the master until `count` bytes arrived or the time-out passed;
  // returns what arrived.
  std::string ReadExactly(size_t count,
                          std::chrono::milliseconds timeout = std::chrono::seconds(5));
  // Reads until `marker` has arrived (inclusive) or the time-out passed.
  std::string ReadUntil(const std::string& marker,
                        std::chrono::milliseconds timeout = std::chrono::seconds(5));
  // Whatever arrives within `quiet` of silence.
  std::string ReadAvailable(std::chrono::milliseconds quiet = std::chrono::milliseconds(50));
  // Hangs up: closes the master, as a peer that goes away does.
  void CloseMaster();
  // Keeps the slave side from reporting a hang-up while the code under test
  // has it closed (some tests reopen the device).
  void HoldSlaveOpen();

 private:
  int master_ = -1;
  int slaveHold_ = -1;
  std::string slavePath_;
};

}  // namespace morvel::test
