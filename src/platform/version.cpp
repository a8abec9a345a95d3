#include "platform/version.h"

#include <sys/utsname.h>

#include <cstdio>

#include "platform/errors.h"

BOOL GetVersionExA(OSVERSIONINFOA* info) {
  if (info == nullptr || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  utsname name{};
  if (uname(&name) != 0) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  unsigned major = 0, minor = 0, patch = 0;
  std::sscanf(name.release, "%u.%u.%u", &major, &minor, &patch);
  info->dwMajorVersion = major;
  info->dwMinorVersion = minor;
  info->dwBuildNumber = patch;
  info->dwPlatformId = VER_PLATFORM_LINUX;
  std::snprintf(info->szCSDVersion, sizeof info->szCSDVersion, "%.60s %.60s", name.sysname,
                name.release);
  return TRUE;
}
