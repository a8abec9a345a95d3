// Which device a COM name opens: the port folder first, then the fixed table.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/port_map.h"
#include "support/port_folder.h"

namespace {

using morvel::test::PortFolder;

TEST(PortMap, NamesAreParsedCaseInsensitively) {
  EXPECT_EQ(ComNumberFromName("\\\\.\\COM12"), 12u);
  EXPECT_EQ(ComNumberFromName("\\\\.\\com3"), 3u);
  EXPECT_EQ(ComNumberFromName("Com7"), 7u);
  EXPECT_EQ(ComNumberFromName("COM0"), std::nullopt);
  EXPECT_EQ(ComNumberFromName("COM"), std::nullopt);
  EXPECT_EQ(ComNumberFromName("COM1x"), std::nullopt);
  EXPECT_EQ(ComNumberFromName("COM-1"), std::nullopt);
  EXPECT_EQ(ComNumberFromName("LPT1"), std::nullopt);
  EXPECT_EQ(ComNumberFromName("\\\\.\\"), std::nullopt);
  EXPECT_EQ(ComNumberFromName("COM99999999999"), std::nullopt);
}

TEST(PortMap, FixedTableWithoutFolderEntries) {
  PortFolder empty;
  EXPECT_EQ(ComPortDevicePath(0), std::nullopt);
  EXPECT_EQ(ComPortDevicePath(1), "/dev/ttyS0");
  EXPECT_EQ(ComPortDevicePath(8), "/dev/ttyS7");
  EXPECT_EQ(ComPortDevicePath(9), "/dev/ttyUSB0");
  EXPECT_EQ(ComPortDevicePath(24), "/dev/ttyUSB15");
  EXPECT_EQ(ComPortDevicePath(25), "/dev/ttyACM0");
  EXPECT_EQ(ComPortDevicePath(40), "/dev/ttyACM15");
  EXPECT_EQ(ComPortDevicePath(41), "/dev/ttyAMA0");
  EXPECT_EQ(ComPortDevicePath(50), "/dev/ttyAMA9");
  EXPECT_EQ(ComPortDevicePath(51), std::nullopt);
}

TEST(PortMap, FolderEntryWinsAndNamesTheLinkedDevice) {
  PortFolder folder;
  folder.Link(1, "/dev/null");
  EXPECT_EQ(ComPortDevicePath(1), "/dev/null");
  EXPECT_EQ(ComPortDevicePath(2), "/dev/ttyS1");
  // Any letter case of the entry name; numbers above the table too.
  std::filesystem::create_symlink("/dev/zero", folder.Path() + "/COM77");
  EXPECT_EQ(ComPortDevicePath(77), "/dev/zero");
  // A dangling link stays itself, so the open fails as a missing device.
  folder.Link(5, folder.Path() + "/gone");
  EXPECT_EQ(ComPortDevicePath(5), folder.Path() + "/com5");
  folder.Unlink(1);
  EXPECT_EQ(ComPortDevicePath(1), "/dev/ttyS0");
}

TEST(PortMap, FolderComesFromTheEnvironment) {
  std::string ports = std::getenv("MORVEL_PORTS") ? std::getenv("MORVEL_PORTS") : "";
  std::string config = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
  std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";

  setenv("MORVEL_PORTS", "/tmp/ports-here", 1);
  EXPECT_EQ(::PortFolder(), "/tmp/ports-here");
  unsetenv("MORVEL_PORTS");
  setenv("XDG_CONFIG_HOME", "/tmp/config", 1);
  EXPECT_EQ(::PortFolder(), "/tmp/config/morvel/ports");
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(::PortFolder(), "/home/someone/.config/morvel/ports");

  auto restore = [](const char* name, const std::string& value) {
    if (value.empty()) {
      unsetenv(name);
    } else {
      setenv(name, value.c_str(), 1);
    }
  };
  restore("MORVEL_PORTS", ports);
  restore("XDG_CONFIG_HOME", config);
  restore("HOME", home);
}

}  // namespace
