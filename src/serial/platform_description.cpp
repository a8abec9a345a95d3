#include "serial/platform_description.h"

#include <cstring>

namespace ser {

namespace {

constexpr DWORD kWindowsMeBuild = 0x45A0BB8;

std::string Windows9xName(const OSVERSIONINFOA& info, const std::string& servicePack) {
  // The service letter: the second character of the service-pack text.
  char letter = servicePack.size() > 1 ? servicePack[1] : ' ';
  switch (info.dwMinorVersion) {
    case 0:
      return letter == 'B' ? "Win32 on Windows 95 OSR 2 " : "Win32 on Windows 95 OSR 1 ";
    case 10:
      return letter == 'A' ? "Win32 on Windows 98 OSR 2 " : "Win32 on Windows 98 OSR 1 ";
    case 90:
      return info.dwBuildNumber == kWindowsMeBuild ? "Win32 on Windows ME " : "";
  }
  return "Win32 on Windows 9x";
}

std::string WindowsNtName(const OSVERSIONINFOA& info) {
  switch (info.dwMajorVersion) {
    case 3:
      return "Windows NT 3.5 ";
    case 4:
      return "Windows NT 4 ";
    case 5:
      if (info.dwMinorVersion == 0) return "Windows 2000 ";
      if (info.dwMinorVersion == 1) return "Windows XP ";
      return "";
  }
  return "WinNT ";
}

}  // namespace

std::string PlatformDescription(const OSVERSIONINFOA& info) {
  std::string servicePack(info.szCSDVersion, strnlen(info.szCSDVersion, sizeof info.szCSDVersion));
  if (info.dwPlatformId == VER_PLATFORM_LINUX) {
    // The platform layer puts the kernel's name and release there.
    if (!servicePack.empty()) return servicePack;
    return "Linux " + std::to_string(info.dwMajorVersion) + "." +
           std::to_string(info.dwMinorVersion) + "." + std::to_string(info.dwBuildNumber);
  }
  std::string name;
  bool withServicePack = false;
  if (info.dwPlatformId == VER_PLATFORM_WIN32s) {
    name = "Win32s on Windows ";
    withServicePack = true;
  } else if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    name = Windows9xName(info, servicePack);
  } else if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    name = WindowsNtName(info);
    withServicePack = true;
  } else {
    name = "Unknown";
  }
  return name + std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) +
         " " + (withServicePack ? servicePack : std::string());
}

std::string CurrentPlatformDescription() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return "Unknown";
  return PlatformDescription(info);
}

}  // namespace ser
