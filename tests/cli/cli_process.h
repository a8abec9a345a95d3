// morvelctl run by a test, with its standard output and standard error kept
// apart; every wait is bounded, and a run that outlasts it is killed.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace morvel::test {

struct CliResult {
  int exitCode = -1;  // -1 when it had to be killed
  std::string out;
  std::string err;
};

class CliProcess {
 public:
  // `runner`, when given, is a program and its arguments that run
  // morvelctl (setpriv, to run it as another user).
  explicit CliProcess(const std::vector<std::string>& args,
                      const std::vector<std::string>& runner = {});
  ~CliProcess();
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  // Reads until standard error holds `marker`; false when it did not come.
  bool WaitForError(const std::string& marker,
                    std::chrono::seconds limit = std::chrono::seconds(60));
  void Signal(int signal);
  // Everything it writes until it ends, and its exit code.
  CliResult Finish(std::chrono::seconds limit = std::chrono::seconds(90));

 private:
  // Reads what is there, waiting at most `milliseconds`; false once both
  // streams have ended.
  bool ReadSome(int milliseconds);

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  CliResult result_;
};

inline CliResult RunCli(const std::vector<std::string>& args,
                        const std::vector<std::string>& runner = {}) {
  return CliProcess(args, runner).Finish();
}

}  // namespace morvel::test
