// Opening the port over real pseudo-terminals: the port prompt driven through
// the real dialog, ports that are absent, held by another program or refused
// to this user, numbers above the listed range, and opens after loading.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/serial.h"
#include "runtime/convert_error.h"
#include "serial/exceptions.h"
#include "serial/ui/port_probe.h"
#include "serial/ui/port_test_support.h"
#include "support/pty_pair.h"
#include "support/tty_holder.h"

namespace morvel::test {
namespace {

class ComPortOpen : public testing::Test {
 protected:
  ComPortOpen() { HideMachinePorts(folder_); }

  PortFolder folder_;
  ReportRecorder reports_;
};

// A child process that runs `body` and hands back what it writes to the
// given descriptor; killed when it does not finish within 10 s.
class ChildProcess {
 public:
  template <class Body>
  explicit ChildProcess(Body body) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      body(fds[1]);
      _exit(0);
    }
    close(fds[1]);
    readFd_ = fds[0];
  }
  ~ChildProcess() {
    if (readFd_ >= 0) close(readFd_);
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  // Reads until the child writes `marker` or closes its end.
  std::string ReadUntil(const std::string& marker) {
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (text.find(marker) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{readFd_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buffer[512];
      ssize_t n = read(readFd_, buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, static_cast<size_t>(n));
    }
    return text;
  }

 private:
  pid_t pid_ = -1;
  int readFd_ = -1;
};

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

TEST_F(ComPortOpen, FirstWriteAsksForThePortAndOpensTheChosenOne) {
  PtyPair other;
  PtyPair pty;
  folder_.Link(2, other.SlavePath());
  folder_.Link(3, pty.SlavePath());
  TestPort port(nullptr);
  DialogAnswer answer("COM3", DialogAnswer::kOk);

  port.WriteText("ATE\r\n");

  EXPECT_EQ(answer.Shown(), 1);
  EXPECT_EQ(answer.Entries(), QStringList({"COM2", "COM3"}));
  // Each entry names the device behind it.
  EXPECT_EQ(answer.ToolTips().value(1).toStdString(),
            std::filesystem::canonical(pty.SlavePath()).string());
  EXPECT_EQ(port.ComNumber(), 3);
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.OpenState, osOpen);
  ASSERT_NE(port.ActiveDispatcher, nullptr);
  EXPECT_EQ(port.ActiveDispatcher->DeviceName, "COM3");
  EXPECT_NE(port.NotifyWindow, nullptr);
  EXPECT_EQ(pty.ReadExactly(5), "ATE\r\n");
  EXPECT_TRUE(reports_.Reports().empty());
}

TEST_F(ComPortOpen, CancelLeavesThePortClosedAndTheNextWriteAsksAgain) {
  PtyPair pty;
  folder_.Link(3, pty.SlavePath());
  TestPort port(nullptr);
  int opens = 0;
  port.SetOnPortOpen([&](TComponent*) { ++opens; });
  DialogAnswer answer("COM3", DialogAnswer::kCancelButton);

  EXPECT_THROW(port.WriteText("ATE\r\n"), ser::ENoPortSelected);
  EXPECT_EQ(answer.Shown(), 1);
  EXPECT_EQ(port.ComNumber(), 0);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.OpenState, osClosed);
  EXPECT_EQ(port.ActiveDispatcher, nullptr);

  DialogAnswer closeBox("COM3", DialogAnswer::kCloseBox);
  EXPECT_THROW(port.WriteText("ATE\r\n"), ser::ENoPortSelected);
  EXPECT_EQ(closeBox.Shown(), 1);
  EXPECT_EQ(port.ComNumber(), 0);

  DialogAnswer ok("COM3", DialogAnswer::kOk);
  port.WriteText("ATE\r\n");
  EXPECT_EQ(ok.Shown(), 1);
  EXPECT_EQ(port.ComNumber(), 3);
  EXPECT_EQ(opens, 1);
  EXPECT_EQ(pty.ReadExactly(5), "ATE\r\n");
}

TEST_F(ComPortOpen, AnEmptyListWithOkGivesTheConversionError) {
  TestPort port(nullptr);
  DialogAnswer answer("", DialogAnswer::kOk);
  try {
    port.WriteText("ATE\r\n");
    FAIL() << "no exception";
  } catch (const EConvertError& error) {
    EXPECT_STREQ(error.what(), "'' is not a valid integer value");
  }
  EXPECT_EQ(answer.Shown(), 1);
  EXPECT_TRUE(answer.Entries().isEmpty());
  EXPECT_EQ(port.ComNumber(), 0);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.ActiveDispatcher, nullptr);
}

TEST_F(ComPortOpen, APortThatVanishesAfterTheChoiceFailsWithoutAskingAgain) {
  PtyPair pty;
  folder_.Link(4, pty.SlavePath());
  TestPort port(nullptr);
  DialogAnswer answer("COM4", DialogAnswer::kOk,
                      [&] { folder_.Link(4, "/nonexistent/morvel-test-port"); });
  EXPECT_THROW(port.WriteText("ATE\r\n"), ser::EBadId);
  EXPECT_EQ(answer.Shown(), 1);
  EXPECT_EQ(port.ComNumber(), 4);
  EXPECT_EQ(port.OpenState, osClosed);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.ActiveDispatcher, nullptr);

  answer.Rearm();
  try {
    port.TakeChar();
    FAIL() << "no exception";
  } catch (const ser::EBadId& error) {
    EXPECT_EQ(error.ResultCode, -2001);
    EXPECT_STREQ(error.what(), "ie_BadId - Specified comport doesn't exist");
  }
  EXPECT_EQ(answer.Shown(), 1);
}

// Listing and a refused open leave the other program's tty as it had it.
TEST_F(ComPortOpen, APortHeldByAnotherProgramIsListedButCannotBeOpened) {
  PtyPair pty;
  folder_.Link(5, pty.SlavePath());
  TtyHolder holder(pty.SlavePath());
  ASSERT_GT(holder.Queued(), 0u);

  TestPort port(nullptr);
  DialogAnswer answer("COM5", DialogAnswer::kOk);
  try {
    port.WriteText("ATE\r\n");
    FAIL() << "no exception";
  } catch (const ser::EAlreadyOpen& error) {
    EXPECT_EQ(error.ResultCode, -2008);
    EXPECT_STREQ(error.what(), "ie_Open - device already open");
  }
  EXPECT_TRUE(answer.Entries().contains("COM5"));
  EXPECT_EQ(port.ComNumber(), 5);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.ActiveDispatcher, nullptr);
  EXPECT_EQ(holder.Look(), "icanon echo opost excl");
  EXPECT_EQ(pty.ReadExactly(holder.Queued()).size(), holder.Queued());
}

// A device this user may not open is listed; opening it says which device
// refused, and names a group only when joining it would help.
TEST_F(ComPortOpen, APortRefusedToThisUserIsListedAndSaysWhatWouldHelp) {
  PtyPair pty;
  folder_.Link(6, pty.SlavePath());
  ASSERT_EQ(chmod(folder_.Path().c_str(), 0755), 0);
  group* dialout = getgrnam("dialout");
  ASSERT_NE(dialout, nullptr);
  gid_t nameless = 54321;
  while (getgrgid(nameless) != nullptr) ++nameless;
  const std::string device = std::filesystem::canonical(pty.SlavePath()).string();
  const std::string join =
      ": it may be opened by members of the group \"dialout\". Join that group (sudo adduser "
      "$USER dialout) and log in again.";
  const std::string change = ": its permissions must be changed";
  struct Case {
    const char* what;
    gid_t group;
    mode_t mode;
    const std::string& says;
  };
  const Case cases[] = {
      {"root:dialout 0660", dialout->gr_gid, 0660, join},
      {"root:root 0600", 0, 0600, change},
      {"a group without a name", nameless, 0660, change},
  };
  for (const Case& c : cases) {
    // A real refusal by the kernel, to a child process that runs as nobody.
    ASSERT_EQ(chown(pty.SlavePath().c_str(), 0, c.group), 0);
    ASSERT_EQ(chmod(pty.SlavePath().c_str(), c.mode), 0);
    ChildProcess user([](int out) {
      if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
          setresuid(65534, 65534, 65534) != 0) {
        WriteAll(out, "no-drop\n");
        return;
      }
      std::string report = PortExists(6) ? "listed|" : "missing|";
      TSerComPort port(nullptr);
      port.SetComNumber(6);
      try {
        port.SetOpen(true);
        report += "opened";
      } catch (const ser::EOpenComm& error) {
        report += std::to_string(error.ResultCode) + "|" + error.what();
        if (dynamic_cast<const ser::EPermissionDenied*>(&error)) report += "|permission";
      } catch (const std::exception& error) {
        report += std::string("other|") + error.what();
      }
      report += port.Open() ? "|open" : "|closed";
      WriteAll(out, report + "\n");
    });
    std::string report = user.ReadUntil("\n");
    ASSERT_NE(report, "no-drop\n");
    EXPECT_EQ(report.substr(0, 7), "listed|") << report;
    EXPECT_NE(report.find("|-2013|Permission denied to open " + device + c.says), std::string::npos)
        << c.what << ": " << report;
    EXPECT_NE(report.find("|permission|closed"), std::string::npos) << report;
  }
}

TEST_F(ComPortOpen, PortsAboveFiftyAreNotListedButOpenWhenSetDirectly) {
  PtyPair listed;
  PtyPair high;
  folder_.Link(50, listed.SlavePath());
  folder_.Link(51, high.SlavePath());
  EXPECT_TRUE(PortExists(51));
  {
    TestPort port(nullptr);
    DialogAnswer answer("COM51", DialogAnswer::kCancelButton);
    EXPECT_THROW(port.WriteText("X"), ser::ENoPortSelected);
    EXPECT_EQ(answer.Entries(), QStringList({"COM50"}));
  }
  TestPort port(nullptr);
  port.SetComNumber(51);
  port.WriteText("AT\r\n");
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.ActiveDispatcher->DeviceName, "COM51");
  EXPECT_EQ(high.ReadExactly(4), "AT\r\n");
  EXPECT_FALSE(PortExists(0));
}

TEST_F(ComPortOpen, LoadedOpensAStoredOpenAndReportsAFailureInstead) {
  PtyPair pty;
  folder_.Link(7, pty.SlavePath());
  TComponent form(nullptr);
  auto* good = new TestPort(&form);
  auto* bad = new TestPort(&form);
  form.BeginLoading();
  good->SetComNumber(7);
  good->SetOpen(true);
  bad->SetComNumber(8);
  bad->SetOpen(true);
  EXPECT_EQ(good->OpenState, osClosed);
  form.EndLoading();

  EXPECT_EQ(good->OpenState, osOpen);
  EXPECT_TRUE(good->Open());
  EXPECT_EQ(bad->OpenState, osClosed);
  EXPECT_FALSE(bad->Open());
  ASSERT_EQ(reports_.Reports().size(), 1u);
  EXPECT_EQ(reports_.Reports()[0].first, "Morvel");
  EXPECT_EQ(reports_.Reports()[0].second, "ie_BadId - Specified comport doesn't exist.");
}

TEST_F(ComPortOpen, AnOpenWithdrawnDuringLoadingStillOpensOnceAfterIt) {
  PtyPair pty;
  folder_.Link(7, pty.SlavePath());
  TComponent form(nullptr);
  auto* good = new TestPort(&form);
  auto* bad = new TestPort(&form);
  int opens = 0;
  good->SetOnPortOpen([&](TComponent*) { ++opens; });
  form.BeginLoading();
  for (TestPort* port : {good, bad}) {
    port->SetComNumber(port == good ? 7 : 8);
    port->SetOpen(true);
    port->SetOpen(false);
  }
  EXPECT_NO_THROW(form.EndLoading());

  EXPECT_EQ(opens, 1);
  EXPECT_EQ(good->OpenState, osOpen);
  ASSERT_NE(good->ActiveDispatcher, nullptr);
  good->WriteText("once");
  EXPECT_EQ(pty.ReadExactly(4), "once");
  EXPECT_EQ(bad->OpenState, osClosed);
  EXPECT_FALSE(bad->Open());
  ASSERT_EQ(reports_.Reports().size(), 1u);
  EXPECT_EQ(reports_.Reports()[0].second, "ie_BadId - Specified comport doesn't exist.");
}

TEST_F(ComPortOpen, AFailureAfterTheLineOpenedClosesItAgain) {
  PtyPair pty;
  folder_.Link(9, pty.SlavePath());
  TestPort port(nullptr);
  port.SetComNumber(9);
  port.SetOnPortOpen([](TComponent*) { throw std::runtime_error("handler failed"); });
  EXPECT_THROW(port.SetOpen(true), std::runtime_error);
  EXPECT_EQ(port.OpenState, osClosed);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.ActiveDispatcher, nullptr);
  EXPECT_EQ(port.NotifyWindow, nullptr);
  EXPECT_FALSE(port.ForceApply);
  // The device was let go: it opens again.
  port.SetOnPortOpen(nullptr);
  port.SetOpen(true);
  EXPECT_EQ(port.OpenState, osOpen);
}

}  // namespace
}  // namespace morvel::test
