#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <cstring>
#include <regex>
#include <string>

#include "serial/compiler_name.h"
#include "serial/platform_description.h"

namespace {

std::string Describe(DWORD platform, DWORD major, DWORD minor, DWORD build,
                     const char* servicePack) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  info.dwPlatformId = platform;
  info.dwMajorVersion = major;
  info.dwMinorVersion = minor;
  info.dwBuildNumber = build;
  std::strncpy(info.szCSDVersion, servicePack, sizeof info.szCSDVersion - 1);
  return ser::PlatformDescription(info);
}

TEST(PlatformDescription, WindowsFamiliesAndReleases) {
  EXPECT_EQ(Describe(VER_PLATFORM_WIN32s, 3, 10, 0, "x"), "Win32s on Windows 3.10 x");
  EXPECT_EQ(Describe(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950, " B "),
            "Win32 on Windows 95 OSR 2 4.0 ");
  EXPECT_EQ(Describe(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950, " C"),
            "Win32 on Windows 95 OSR 1 4.0 ");
  EXPECT_EQ(Describe(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998, " A "),
            "Win32 on Windows 98 OSR 2 4.10 ");
  EXPECT_EQ(Describe(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998, ""),
            "Win32 on Windows 98 OSR 1 4.10 ");
  EXPECT_EQ(Describe(VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0x45A0BB8, ""),
            "Win32 on Windows ME 4.90 ");
  EXPECT_EQ(Describe(VER_PLATFORM_WIN32_WINDOWS, 4, 90, 3000, ""), "4.90 ");
  EXPECT_EQ(Describe(VER_PLATFORM_WIN32_WINDOWS, 4, 3, 0, "z"), "Win32 on Windows 9x4.3 ");
  EXPECT_EQ(Describe(VER_PLATFORM_WIN32_NT, 3, 51, 1057, "Service Pack 5"),
            "Windows NT 3.5 3.51 Service Pack 5");
  EXPECT_EQ(Describe(VER_PLATFORM_WIN32_NT, 4, 0, 1381, "Service Pack 6"),
            "Windows NT 4 4.0 Service Pack 6");
  EXPECT_EQ(Describe(VER_PLATFORM_WIN32_NT, 5, 0, 2195, ""), "Windows 2000 5.0 ");
  EXPECT_EQ(Describe(VER_PLATFORM_WIN32_NT, 5, 1, 2600, "Service Pack 2"),
            "Windows XP 5.1 Service Pack 2");
  EXPECT_EQ(Describe(VER_PLATFORM_WIN32_NT, 5, 2, 3790, "Service Pack 1"), "5.2 Service Pack 1");
  EXPECT_EQ(Describe(VER_PLATFORM_WIN32_NT, 6, 1, 7601, "Service Pack 1"),
            "WinNT 6.1 Service Pack 1");
  EXPECT_EQ(Describe(7, 1, 2, 0, "x"), "Unknown1.2 ");
}

TEST(PlatformDescription, LinuxNamesTheKernelRelease) {
  EXPECT_EQ(Describe(VER_PLATFORM_LINUX, 6, 1, 0, "Linux 6.1.0-18-amd64"), "Linux 6.1.0-18-amd64");
  EXPECT_EQ(Describe(VER_PLATFORM_LINUX, 6, 1, 76, ""), "Linux 6.1.76");
}

TEST(PlatformDescription, ThisSystemIsDescribedByItsKernel) {
  utsname names{};
  ASSERT_EQ(uname(&names), 0);
  std::string description = ser::CurrentPlatformDescription();
  EXPECT_NE(description.find(names.release), std::string::npos) << description;
  EXPECT_EQ(description.rfind("Linux", 0), 0u) << description;
}

TEST(CompilerName, NamesTheCompilerAndItsVersion) {
  EXPECT_TRUE(std::regex_match(ser::CompilerName(), std::regex("(GCC|Clang) [0-9]+\\.[0-9].*")))
      << ser::CompilerName();
}

}  // namespace
