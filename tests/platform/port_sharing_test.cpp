// A port is shared with other programs: listing it opens nothing, a refused
// open changes nothing, and a close undoes only what its handle did.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/open_com.h"
#include "support/port_folder.h"
#include "support/pty_pair.h"
#include "support/tty_holder.h"

namespace {

using morvel::test::OpenCom;
using morvel::test::PortFolder;
using morvel::test::PtyPair;
using morvel::test::TtyHolder;

constexpr unsigned kPort = 3;

TEST(PortSharing, AnotherProgramsPortIsUnharmedByListingAndByARefusedOpen) {
  PtyPair pty;
  PortFolder ports;
  ports.Link(kPort, pty.SlavePath());
  TtyHolder holder(pty.SlavePath());
  ASSERT_GT(holder.Queued(), 0u);

  EXPECT_TRUE(ComPortListed(kPort));
  // Its exclusive claim binds this process too, though it runs as root.
  EXPECT_EQ(OpenCom(kPort), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  EXPECT_EQ(holder.Look(), "icanon echo opost excl");
  EXPECT_EQ(pty.ReadExactly(holder.Queued()).size(), holder.Queued());
}

TEST(PortSharing, AHandleThatOnlyReadLeavesThePeersSettingsAndOutputAlone) {
  PtyPair pty;
  PortFolder ports;
  ports.Link(kPort, pty.SlavePath());
  // The peer already keeps the settings an open makes: this open changes none.
  HANDLE first = OpenCom(kPort);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  termios opened{};
  ASSERT_EQ(tcgetattr(pty.MasterFd(), &opened), 0);
  ASSERT_TRUE(CloseHandle(first));
  ASSERT_EQ(tcsetattr(pty.MasterFd(), TCSANOW, &opened), 0);
  HANDLE device = OpenCom(kPort);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);

  // While it is open the peer changes its settings, and another writer of
  // the tty leaves output the peer has not read yet.
  termios changed = opened;
  cfsetspeed(&changed, B4800);
  changed.c_cflag |= CSTOPB;
  ASSERT_EQ(tcsetattr(pty.MasterFd(), TCSANOW, &changed), 0);
  int other = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(write(other, "queued", 6), 6);
  pty.Write("AT\r\n");
  COMMTIMEOUTS timeouts{MAXDWORD, 0, 1000, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(device, &timeouts));
  char got[4] = {};
  DWORD read = 0;
  ASSERT_TRUE(ReadFile(device, got, sizeof got, &read, nullptr));
  EXPECT_EQ(std::string(got, read), "AT\r\n");
  ASSERT_TRUE(CloseHandle(device));

  termios after{};
  ASSERT_EQ(tcgetattr(pty.MasterFd(), &after), 0);
  EXPECT_EQ(cfgetospeed(&after), B4800);
  EXPECT_TRUE(after.c_cflag & CSTOPB);
  EXPECT_EQ(pty.ReadExactly(6), "queued");
  close(other);
}

// A node stands for a port when it is a character device, unless sysfs says
// that no UART answered behind it (type 0, as for most of ttyS0-3).
TEST(PortSharing, ListingJudgesTheNodeAndSysfsWithoutOpening) {
  PtyPair pty;
  PortFolder ports;
  struct stat node {};
  ASSERT_EQ(stat(pty.SlavePath().c_str(), &node), 0);
  const std::string sysfs = ports.Path() + "/char";
  const std::string entry =
      sysfs + "/" + std::to_string(major(node.st_rdev)) + ":" + std::to_string(minor(node.st_rdev));
  std::filesystem::create_directories(entry);
  std::filesystem::create_directories(ports.Path() + "/folder");
  std::ofstream(ports.Path() + "/file") << "not a device";

  struct Case {
    const char* what;
    std::string path;
    const char* type;  // nullptr: no type file
    bool listed;
  };
  const Case cases[] = {
      {"tty without a type (USB adapter, pty)", pty.SlavePath(), nullptr, true},
      {"serial port with a UART", pty.SlavePath(), "4\n", true},
      {"serial port without a UART", pty.SlavePath(), "0\n", false},
      {"folder", ports.Path() + "/folder", nullptr, false},
      {"plain file", ports.Path() + "/file", nullptr, false},
      {"nothing there", ports.Path() + "/none", nullptr, false},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(entry + "/type");
    if (c.type != nullptr) std::ofstream(entry + "/type") << c.type;
    EXPECT_EQ(DeviceNodeListed(c.path, sysfs), c.listed) << c.what;
  }

  ports.Link(kPort, pty.SlavePath());
  ports.Link(kPort + 1, ports.Path() + "/folder");
  EXPECT_TRUE(ComPortListed(kPort));
  EXPECT_FALSE(ComPortListed(kPort + 1));
  EXPECT_FALSE(ComPortListed(0));
}

}  // namespace
