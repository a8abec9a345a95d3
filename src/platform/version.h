// What the platform says about itself (the dispatch log header shows it).
#pragma once

#include "win_types.h"

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
// Not a Windows value: the layer runs on Linux and says so.
constexpr DWORD VER_PLATFORM_LINUX = 0x4C;

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  char szCSDVersion[128];
};

// On Linux: VER_PLATFORM_LINUX, the kernel release's major, minor and patch
// numbers, and szCSDVersion holding uname's system name and release
// (for example "Linux 6.1.0-18-amd64").
BOOL GetVersionExA(OSVERSIONINFOA* info);
