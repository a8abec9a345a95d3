#include "cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace morvel::test {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

CliProcess::CliProcess(const std::vector<std::string>& args,
                       const std::vector<std::string>& runner) {
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  std::vector<std::string> argv = runner;
  argv.push_back(MORVELCTL_BINARY);
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork");
  if (pid_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    execv(pointers[0], pointers.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  out_ = out[0];
  err_ = err[0];
}

CliProcess::~CliProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (out_ >= 0) close(out_);
  if (err_ >= 0) close(err_);
}

bool CliProcess::ReadSome(int milliseconds) {
  pollfd streams[] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
  std::string* texts[] = {&result_.out, &result_.err};
  int* fds[] = {&out_, &err_};
  const int ready = poll(streams, 2, milliseconds);
  for (int i = 0; i < 2 && ready > 0; ++i) {
    if (streams[i].fd < 0 || streams[i].revents == 0) continue;
    char buffer[4096];
    const ssize_t n = read(streams[i].fd, buffer, sizeof buffer);
    if (n > 0) {
      texts[i]->append(buffer, static_cast<std::size_t>(n));
    } else {
      close(*fds[i]);
      *fds[i] = -1;
    }
  }
  return out_ >= 0 || err_ >= 0;
}

bool CliProcess::WaitForError(const std::string& marker, std::chrono::seconds limit) {
  const Clock::time_point end = Clock::now() + limit;
  while (result_.err.find(marker) == std::string::npos) {
    if (Clock::now() >= end || !ReadSome(100)) return false;
  }
  return true;
}

void CliProcess::Signal(int signal) {
  kill(pid_, signal);
}

CliResult CliProcess::Finish(std::chrono::seconds limit) {
  const Clock::time_point end = Clock::now() + limit;
  while (Clock::now() < end && ReadSome(100)) {
  }
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (Clock::now() >= end) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      pid_ = -1;
      return result_;
    }
    poll(nullptr, 0, 10);
  }
  pid_ = -1;
  result_.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result_;
}

}  // namespace morvel::test
