// Win32-style scalar types and the handle type shared by the platform layer.
#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using BOOL = int;
using ATOM = WORD;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using DWORD_PTR = std::uintptr_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD MAXDWORD = 0xFFFFFFFFu;

// Every kernel-style object (device, event, thread) is reached through a HANDLE.
// The object itself is private to the platform layer.
struct SECURITY_ATTRIBUTES;  // accepted and ignored everywhere
struct PlatformObject;
using HANDLE = PlatformObject*;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

// Closes a device, event or thread handle. Closing a device wakes every wait
// on it; closing a thread handle does not stop the thread.
BOOL CloseHandle(HANDLE handle);

union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  std::int64_t QuadPart;
};
