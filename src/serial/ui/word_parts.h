// The parts of a word the port hands on: the low byte of a 16-bit property
// that the dispatcher takes as a byte, the low and high words of an lParam.
#pragma once

#include "platform/win_types.h"

constexpr BYTE LowByte(WORD value) {
  return static_cast<BYTE>(value & 0xFF);
}

constexpr WORD LowWord(LPARAM value) {
  return static_cast<WORD>(static_cast<DWORD>(value) & 0xFFFF);
}

constexpr WORD HighWord(LPARAM value) {
  return static_cast<WORD>(static_cast<DWORD>(value) >> 16);
}
