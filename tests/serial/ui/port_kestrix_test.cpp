// The port component against the Kestrix simulator: the port chosen in the
// real dialog, commands written, and the device's lines arriving through
// OnTriggerAvail on this thread inside a real Qt event loop.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QEventLoop>
#include <filesystem>
#include <thread>

#include "platform/threads.h"
#include "serial/ui/port_test_support.h"

namespace morvel::test {
namespace {

namespace fs = std::filesystem;

// kestrix-sim as its own process, placing comN in the port folder; ended
// with SIGTERM (SIGKILL when it does not go within 5 s).
class Simulator {
 public:
  explicit Simulator(unsigned comNumber) {
    fs::path program = KESTRIX_SIM_BINARY;
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    std::string com = std::to_string(comNumber);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      execl(program.c_str(), program.c_str(), "--com", com.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    stdout_ = out[0];
  }
  ~Simulator() {
    if (stdout_ >= 0) close(stdout_);
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 500; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // The device path it printed once it serves the line; empty on time-out.
  std::string DevicePath() {
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{stdout_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buffer[256];
      ssize_t n = read(stdout_, buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, static_cast<size_t>(n));
    }
    auto end = text.find('\n');
    return end == std::string::npos ? std::string() : text.substr(0, end);
  }

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
};

TEST(PortKestrix, WritesCommandsAndReceivesTheDeviceLinesInTheEventLoop) {
  PortFolder folder;
  HideMachinePorts(folder);
  folder.Unlink(3);
  Simulator simulator(3);
  ASSERT_FALSE(simulator.DevicePath().empty());

  ReportRecorder reports;
  TestPort port(nullptr);
  std::string received;
  bool allOnThisThread = true;
  QEventLoop loop;
  port.SetOnTriggerAvail([&](TComponent*, WORD count) {
    allOnThisThread = allOnThisThread && GetCurrentThreadId() == GetMainThreadId();
    for (WORD i = 0; i < count; ++i) received += port.TakeChar();
    if (received.find("+CSQ:") != std::string::npos &&
        received.rfind("OK\r\n") > received.find("+CSQ:")) {
      loop.quit();
    }
  });
  DialogAnswer answer("COM3", DialogAnswer::kOk);
  port.WriteText("ATE\r\n");
  ASSERT_EQ(port.ComNumber(), 3);
  port.WriteText("AT+CSQ\r\n");

  QTimer::singleShot(10000, &loop, &QEventLoop::quit);
  loop.exec();

  EXPECT_TRUE(allOnThisThread);
  EXPECT_NE(received.find("OK\r\n"), std::string::npos) << received;
  EXPECT_NE(received.find("+CSQ: "), std::string::npos) << received;
  // Echo was switched off by the first command: the second is not echoed.
  EXPECT_EQ(received.find("AT+CSQ"), std::string::npos) << received;
  EXPECT_TRUE(reports.Reports().empty());
  port.SetOnTriggerAvail(nullptr);
}

}  // namespace
}  // namespace morvel::test
