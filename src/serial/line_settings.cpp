// Line settings: baud, parity, data and stop bits, driver queues.
#include <cstdint>

#include "platform/clock.h"
#include "platform/errors.h"
#include "serial/dispatcher.h"
#include "serial/section_hold.h"

namespace ser {

namespace {

constexpr BYTE kKeepParity = 5, kKeepDataBits = 9, kKeepStopBits = 3;
constexpr int kDrainRounds = 5000;
constexpr DWORD kDrainSleep = 2;  // ms

// The platform's symbolic baud codes, as plain bauds; 0 where a code has none.
DWORD PlainBaud(DWORD baud) {
  static constexpr DWORD kCodeBauds[] = {110,   300, 600, 1200,   2400, 4800, 9600, 14400,
                                         19200, 0,   0,   38400,  0,    0,    0,    56000,
                                         0,     0,   0,   128000, 0,    0,    0,    256000};
  if (baud == 0xFEFF) return 115200;
  if (baud >= 0xFF10 && baud <= 0xFF27) {
    DWORD plain = kCodeBauds[baud - 0xFF10];
    return plain != 0 ? plain : baud;
  }
  return baud;
}

// Milliseconds that 18 characters take at `baud`, rounded up; doubled when short.
DWORD EighteenCharacterMs(DWORD baud, BYTE dataBits, BYTE parity, BYTE stopCode) {
  if (baud == 0) return 0;
  std::uint64_t bitTime = 10000000 / baud;  // 100 ns units
  std::uint64_t bits =
      dataBits + 2u + (parity != NOPARITY ? 1u : 0u) + (stopCode != ONESTOPBIT ? 1u : 0u);
  std::uint64_t t = bitTime * bits * 18;
  if (t < 10000) t *= 2;
  return static_cast<DWORD>((t + 9999) / 10000);
}

}  // namespace

int TSerBaseDispatcher::ReadSettingsLocked() {
  SectionHold hold(DispatcherLock);
  return ReadDeviceSettings(DeviceSettings);
}

int TSerBaseDispatcher::SetDriverQueues(DWORD inQueueSize, DWORD outSize) {
  if (!SizeDeviceQueues(inQueueSize, outSize)) return -static_cast<int>(GetLastError());
  // The flow limits are checked against the driver queue now in force.
  SectionHold hold(DispatcherLock);
  InQueueSize = inQueueSize;
  return 0;
}

int TSerBaseDispatcher::SetLineParams(DWORD baud, BYTE parity, BYTE dataBits, BYTE stopBits) {
  DWORD newBaud;
  BYTE newParity, newDataBits, newStopCode;
  DWORD appliedBaud;
  {
    SectionHold hold(DispatcherLock);
    ReadSettingsLocked();
    const DCB& current = DeviceSettings;
    newBaud = baud == 0 ? current.BaudRate : baud;
    newParity = parity == kKeepParity ? current.Parity : parity;
    newDataBits = dataBits == kKeepDataBits ? current.ByteSize : dataBits;
    if (newDataBits == 5) {
      newStopCode = ONE5STOPBITS;
    } else if (stopBits == kKeepStopBits) {
      newStopCode = current.StopBits;
    } else {
      newStopCode = stopBits >= 2 ? TWOSTOPBITS : ONESTOPBIT;
    }
    if (newBaud == current.BaudRate && newParity == current.Parity &&
        newDataBits == current.ByteSize && newStopCode == current.StopBits) {
      return 0;
    }
    appliedBaud = AppliedBaud;
  }
  // Let what is queued go out at the old settings before they change.
  for (int round = 0; round < kDrainRounds && OutputUsed() != 0; ++round) Sleep(kDrainSleep);
  Sleep(EighteenCharacterMs(PlainBaud(appliedBaud), newDataBits, newParity, newStopCode));
  SectionHold hold(DispatcherLock);
  ReadSettingsLocked();
  DeviceSettings.BaudRate = newBaud;
  DeviceSettings.Parity = newParity;
  DeviceSettings.ByteSize = newDataBits;
  DeviceSettings.StopBits = newStopCode;
  return ApplySettings();
}

void TSerBaseDispatcher::GetLineParams(DWORD& baud, BYTE& parity, BYTE& dataBits, BYTE& stopBits) {
  SectionHold hold(DispatcherLock);
  ReadSettingsLocked();
  baud = PlainBaud(DeviceSettings.BaudRate);
  parity = DeviceSettings.Parity;
  dataBits = DeviceSettings.ByteSize;
  stopBits = DeviceSettings.StopBits == ONESTOPBIT ? 1 : 2;
}

// The caller holds DispatcherLock and has re-read DeviceSettings.
int TSerBaseDispatcher::ApplySettings() {
  if (!DtrAuto) DeviceSettings.fDtrControl = DtrOn ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
  if (!RtsAuto) DeviceSettings.fRtsControl = RtsOn ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
  int result = WriteDeviceSettings(DeviceSettings);
  // A refused write leaves the device as it was, and so the applied baud.
  if (result == 0) AppliedBaud = PlainBaud(DeviceSettings.BaudRate);
  SetDtrState(DtrOn);
  if (!RS485On) SetRtsState(RtsOn);
  return result;
}

}  // namespace ser
