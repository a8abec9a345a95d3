// Error texts, the platform description and the clocks.
#include <sys/utsname.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

std::string Text(DWORD error, DWORD size = 256) {
  char buffer[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, buffer, size, nullptr);
  EXPECT_EQ(length, std::strlen(buffer));
  return std::string(buffer, length);
}

TEST(ErrorTexts, EveryNumberTheLayerProducesHasALineOfText) {
  for (DWORD error : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE,
                      ERROR_GEN_FAILURE, ERROR_INVALID_PARAMETER, ERROR_OPERATION_ABORTED,
                      ERROR_IO_INCOMPLETE, ERROR_IO_PENDING, ERROR_DEVICE_NOT_CONNECTED,
                      ERROR_INVALID_WINDOW_HANDLE, ERROR_TIMEOUT, ERROR_PORT_PERMISSION_DENIED}) {
    std::string text = Text(error);
    ASSERT_GT(text.size(), 2u) << error;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << error;
  }
  EXPECT_EQ(Text(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified.\r\n");
  EXPECT_EQ(Text(31), "A device attached to the system is not functioning.\r\n");
}

TEST(ErrorTexts, UnknownNumbersAndShortBuffersGiveNothing) {
  EXPECT_EQ(Text(123456), "");
  EXPECT_EQ(Text(ERROR_FILE_NOT_FOUND, 10), "");
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(ErrorTexts, ErrnoMapsToTheNumbersTheSerialLineExpects) {
  EXPECT_EQ(Win32ErrorFromErrno(ENOENT), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Win32ErrorFromErrno(EBUSY), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Win32ErrorFromErrno(EACCES), ERROR_PORT_PERMISSION_DENIED);
  EXPECT_EQ(Win32ErrorFromErrno(EINVAL), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Win32ErrorFromErrno(ENOMEM), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(Win32ErrorFromErrno(EIO), ERROR_DEVICE_NOT_CONNECTED);
}

TEST(LastError, IsKeptPerThread) {
  SetLastError(42);
  DWORD other = 0;
  std::thread([&] {
    other = GetLastError();
    SetLastError(7);
  }).join();
  EXPECT_EQ(other, 0u);
  EXPECT_EQ(GetLastError(), 42u);
}

TEST(Version, SaysItIsLinuxAndWhichKernel) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  utsname name{};
  uname(&name);
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_LINUX);
  EXPECT_EQ(std::string(info.szCSDVersion), std::string(name.sysname) + " " + name.release);
  EXPECT_EQ(std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion),
            std::string(name.release).substr(0, std::string(name.release).find('.', 2)));
  OSVERSIONINFOA small{};
  small.dwOSVersionInfoSize = 4;
  EXPECT_FALSE(GetVersionExA(&small));
}

TEST(Clock, CountersAdvanceAndAgree) {
  LARGE_INTEGER frequency{}, first{}, second{};
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  EXPECT_EQ(frequency.QuadPart, 1000000000);
  ASSERT_TRUE(QueryPerformanceCounter(&first));
  DWORD before = timeGetTime();
  Sleep(20);
  ASSERT_TRUE(QueryPerformanceCounter(&second));
  DWORD after = timeGetTime();
  EXPECT_GE(second.QuadPart - first.QuadPart, 20 * 1000000);
  EXPECT_GE(after - before, 20u);
  Sleep(0);
}

}  // namespace
