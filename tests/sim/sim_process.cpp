#include "sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kestrix::test {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

// Waits for `pid` until `limit`; the exit code, or -1 after killing it.
int WaitBounded(pid_t pid, std::chrono::milliseconds limit) {
  Clock::time_point end = Clock::now() + limit;
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (Clock::now() >= end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    poll(nullptr, 0, 10);
  }
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

SimProcess::SimProcess(std::vector<std::string> args, bool openClient) {
  char stderrTemplate[] = "/tmp/kestrix-sim-stderr-XXXXXX";
  int errFd = mkstemp(stderrTemplate);
  if (errFd < 0) Fail("mkstemp");
  stderrPath_ = stderrTemplate;
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) Fail("pipe");
  args.insert(args.begin(), KESTRIX_SIM_BINARY);
  std::vector<char*> argv = Pointers(args);
  pid_ = fork();
  if (pid_ < 0) Fail("fork");
  if (pid_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(errFd, STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  close(errFd);
  // The first line of the simulator's output is its device path.
  std::string line;
  Clock::time_point end = Clock::now() + std::chrono::seconds(5);
  while (line.find('\n') == std::string::npos && Clock::now() < end) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char c[256];
    ssize_t n = read(out[0], c, sizeof c);
    if (n <= 0) break;
    line.append(c, static_cast<std::size_t>(n));
  }
  close(out[0]);
  if (line.find('\n') != std::string::npos) devicePath_ = line.substr(0, line.find('\n'));
  if (openClient) {
    if (devicePath_.empty()) throw std::runtime_error("kestrix-sim printed no device: " + Stderr());
    OpenClient();
  }
}

SimProcess::~SimProcess() {
  CloseClient();
  if (exitCode_ == -2 && pid_ > 0) Stop();
  unlink(stderrPath_.c_str());
}

void SimProcess::OpenClient() {
  client_ = open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (client_ < 0) Fail("open " + devicePath_);
  termios raw{};
  tcgetattr(client_, &raw);
  cfmakeraw(&raw);
  tcsetattr(client_, TCSANOW, &raw);
}

void SimProcess::CloseClient() {
  if (client_ >= 0) close(client_);
  client_ = -1;
}

void SimProcess::Send(const std::string& bytes) {
  std::size_t done = 0;
  Clock::time_point end = Clock::now() + std::chrono::seconds(5);
  while (done < bytes.size()) {
    ssize_t n = write(client_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      Fail("write to the simulator");
    } else if (Clock::now() >= end) {
      throw std::runtime_error("the simulator's device stayed full for 5 s");
    } else {
      pollfd p{client_, POLLOUT, 0};
      poll(&p, 1, 100);
    }
  }
}

std::string SimProcess::ReadUntil(const std::string& marker, std::chrono::milliseconds timeout) {
  std::string got;
  Clock::time_point end = Clock::now() + timeout;
  while (got.find(marker) == std::string::npos && Clock::now() < end) {
    pollfd p{client_, POLLIN, 0};
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    if (poll(&p, 1, static_cast<int>(std::max<long long>(1, left.count()))) <= 0) continue;
    char buffer[4096];
    ssize_t n = read(client_, buffer, sizeof buffer);
    if (n > 0) {
      got.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      break;  // hung up
    }
  }
  return got;
}

std::string SimProcess::Command(const std::string& command) {
  Send(command + "\r");
  std::string got;
  Clock::time_point end = Clock::now() + std::chrono::seconds(5);
  // A final result code is OK, ERROR, an extended error or the prompt.
  auto final = [&] {
    for (const char* code : {"\r\nOK\r\n", "\r\nERROR\r\n", "\r\n> "})
      if (got.find(code) != std::string::npos) return true;
    std::size_t cme = got.find("ERROR: ");
    return cme != std::string::npos && got.find("\r\n", cme) != std::string::npos;
  };
  while (!final() && Clock::now() < end) {
    got +=
        ReadUntil("\n", std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()));
  }
  return got;
}

std::vector<std::string> SimProcess::Play(const std::vector<Step>& steps) {
  std::vector<std::string> got;
  for (const Step& step : steps) {
    Send(step.send);
    got.push_back(ReadUntil(step.expect));
  }
  return got;
}

std::vector<std::string> Expected(const std::vector<Step>& steps) {
  std::vector<std::string> out;
  for (const Step& step : steps) out.push_back(step.expect);
  return out;
}

std::string SimProcess::ReadQuiet(std::chrono::milliseconds quiet) {
  std::string got;
  for (;;) {
    std::string more = ReadUntil(std::string(1, '\0') + "never", quiet);
    if (more.empty()) return got;
    got += more;
  }
}

int SimProcess::Stop() {
  if (exitCode_ != -2) return exitCode_;
  kill(pid_, SIGTERM);
  exitCode_ = WaitBounded(pid_, std::chrono::seconds(5));
  return exitCode_;
}

int SimProcess::ExitCode() {
  if (exitCode_ == -2) exitCode_ = WaitBounded(pid_, std::chrono::seconds(5));
  return exitCode_;
}

std::string SimProcess::Stderr() const {
  std::ifstream file(stderrPath_);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

RunResult RunProgram(const std::vector<std::string>& argvIn, const std::vector<std::string>& env,
                     std::chrono::seconds limit) {
  char outTemplate[] = "/tmp/kestrix-run-XXXXXX";
  int outFd = mkstemp(outTemplate);
  if (outFd < 0) Fail("mkstemp");
  std::vector<std::string> argv = argvIn;
  std::vector<char*> args = Pointers(argv);
  pid_t pid = fork();
  if (pid < 0) Fail("fork");
  if (pid == 0) {
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    dup2(outFd, STDOUT_FILENO);
    dup2(outFd, STDERR_FILENO);
    int null = open("/dev/null", O_RDONLY);
    dup2(null, STDIN_FILENO);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(outFd);
  RunResult result;
  result.exitCode = WaitBounded(pid, limit);
  std::ifstream file(outTemplate);
  std::stringstream text;
  text << file.rdbuf();
  result.output = text.str();
  unlink(outTemplate);
  return result;
}

TempDir::TempDir() {
  char name[] = "/tmp/kestrix-test-XXXXXX";
  if (!mkdtemp(name)) Fail("mkdtemp");
  path_ = name;
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

void TempDir::Write(const std::string& name, const std::string& content) const {
  std::ofstream(File(name)) << content;
}

std::string TempDir::Read(const std::string& name) const {
  std::ifstream file(File(name));
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace kestrix::test
