// Modem lines, line errors and the option word.
#include "serial/dispatcher.h"
#include "serial/section_hold.h"

namespace ser {

BYTE TSerBaseDispatcher::ReadModemStatus(BYTE mask) {
  SectionHold hold(DispatcherLock);
  DWORD lines = 0;
  {
    std::shared_lock<std::shared_mutex> device(DeviceLock);
    HANDLE h = DeviceHandle.load();
    if (h != INVALID_HANDLE_VALUE) GetCommModemStatus(h, &lines);
  }
  BYTE result = static_cast<BYTE>((lines & 0xF0) | (ModemStatus & 0x0F));
  if (RingLatched.exchange(false)) result |= 0x04;
  ModemStatus = result & mask;
  return result;
}

void TSerBaseDispatcher::RefreshModemChanges(DWORD eventMask) {
  SectionHold hold(DispatcherLock);
  DWORD old = ModemStatus;
  ReadModemStatus(0xFF);
  ModemStatus |= ((old ^ ModemStatus) >> 4) & 0x0F;
  // A pulse the driver reported may be over by the time the levels are read;
  // the event itself still says the line changed.
  if (eventMask & EV_CTS) ModemStatus |= 0x01;
  if (eventMask & EV_DSR) ModemStatus |= 0x02;
  if (eventMask & EV_RLSD) ModemStatus |= 0x08;
}

void TSerBaseDispatcher::RefreshLineErrors() {
  TSerDeviceStatus status;
  LineErrors |= ReadDeviceStatus(status) & 0x1F;
}

int TSerBaseDispatcher::LineErrorState() {
  static constexpr struct {
    DWORD bit;
    int code;
  } kOrder[] = {{leRxOver, 1}, {leOverrun, 2}, {leParity, 3}, {leFrame, 4}, {leBreak, 9}};
  DWORD errors = LineErrors;
  for (const auto& entry : kOrder) {
    if (errors & entry.bit) {
      LineErrors &= ~(leRxOver | leOverrun | leParity | leFrame);
      return entry.code;
    }
  }
  return 0;
}

bool TSerBaseDispatcher::LineBreakState() {
  return (LineErrors.fetch_and(~leBreak) & leBreak) != 0;
}

void TSerBaseDispatcher::SetOptionFlags(DWORD bits) {
  SectionHold hold(DispatcherLock);
  OptionFlags |= bits;
}

void TSerBaseDispatcher::ClearOptionFlags(DWORD bits) {
  SectionHold hold(DispatcherLock);
  OptionFlags &= ~bits;
}

}  // namespace ser
