// A kestrix-sim process for a test, with the test as its client on the
// device the simulator prints: every wait is bounded.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace kestrix::test {

// Bytes a client sends and exactly what the device answers to them.
struct Step {
  std::string send;
  std::string expect;  // empty: no answer (the next step shows none came late)
};

class SimProcess {
 public:
  // Starts kestrix-sim with `args` and opens its device raw, unless the
  // simulator is expected to fail (then call ExitCode() right away).
  explicit SimProcess(std::vector<std::string> args, bool openClient = true);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  const std::string& DevicePath() const { return devicePath_; }
  pid_t Pid() const { return pid_; }

  void Send(const std::string& bytes);
  // Reads until `marker` has arrived (inclusive) or the time-out passed.
  std::string ReadUntil(const std::string& marker,
                        std::chrono::milliseconds timeout = std::chrono::seconds(5));
  // Sends `command` and reads up to the final result code.
  std::string Command(const std::string& command);
  // Plays the steps in turn, each read until its expected answer has come
  // whole; what came, step by step, to compare with Expected(steps).
  std::vector<std::string> Play(const std::vector<Step>& steps);
  // Whatever arrives within `quiet` of silence.
  std::string ReadQuiet(std::chrono::milliseconds quiet = std::chrono::milliseconds(200));

  void CloseClient();
  void OpenClient();
  // SIGTERM, then the exit code (SIGKILL after 5 s, reported as -1).
  int Stop();
  // Waits for the process to end by itself; -1 when it did not within 5 s.
  int ExitCode();
  std::string Stderr() const;

 private:
  pid_t pid_ = -1;
  int client_ = -1;
  int exitCode_ = -2;
  std::string devicePath_;
  std::string stderrPath_;
};

std::vector<std::string> Expected(const std::vector<Step>& steps);

// The exit code and output of a program run to its end, killed after `limit`.
struct RunResult {
  int exitCode = -1;   // -1 when it had to be killed
  std::string output;  // stdout and stderr together
};
RunResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                     std::chrono::seconds limit = std::chrono::seconds(30));

// A fresh temporary directory, removed with its contents at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  void Write(const std::string& name, const std::string& content) const;
  std::string Read(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace kestrix::test
