// DTR and RTS, hardware and software flow control, flow characters.
#include "serial/dispatcher.h"
#include "serial/result_codes.h"
#include "serial/section_hold.h"

namespace ser {

namespace {

constexpr char kXon = 17, kXoff = 19;

}  // namespace

int TSerBaseDispatcher::SetDtrState(bool on) {
  SectionHold hold(DispatcherLock);
  if (DtrAuto) return 1;
  int result = DeviceEscape(on ? SETDTR : CLRDTR);
  DtrOn = on;
  return result < 0 ? ecBadArgument : 0;
}

int TSerBaseDispatcher::SetRtsState(bool on) {
  SectionHold hold(DispatcherLock);
  if (RtsAuto) return 1;
  int result = DeviceEscape(on ? SETRTS : CLRRTS);
  RtsOn = on;
  return result < 0 ? ecBadArgument : 0;
}

int TSerBaseDispatcher::SetHardwareFlow(DWORD bufferFull, DWORD bufferResume, DWORD options) {
  SectionHold hold(DispatcherLock);
  if (bufferFull < bufferResume || bufferFull > InQueueSize) return ecBadArgument;
  ReadSettingsLocked();
  const bool dtrAuto = DtrAuto, rtsAuto = RtsAuto;
  DCB& s = DeviceSettings;
  s.fOutxCtsFlow = 0;
  s.fOutxDsrFlow = 0;
  s.fDtrControl = DTR_CONTROL_DISABLE;
  s.fRtsControl = RTS_CONTROL_DISABLE;
  DtrAuto = false;
  RtsAuto = false;
  if (options & hfUseDTR) {
    s.fDtrControl = DTR_CONTROL_HANDSHAKE;
    DtrAuto = true;
  } else if (DtrOn) {
    s.fDtrControl = DTR_CONTROL_ENABLE;
  }
  if (options & hfUseRTS) {
    s.fRtsControl = RTS_CONTROL_HANDSHAKE;
    RtsAuto = true;
  } else if (RtsOn) {
    s.fRtsControl = RTS_CONTROL_ENABLE;
  }
  if (RS485On) {
    s.fRtsControl = RTS_CONTROL_TOGGLE;
    RtsAuto = true;
  }
  s.XoffLim = static_cast<WORD>(InQueueSize - bufferFull);
  s.XonLim = static_cast<WORD>(bufferResume);
  if (options & hfRequireDSR) s.fOutxDsrFlow = 1;
  if (options & hfRequireCTS) s.fOutxCtsFlow = 1;
  int result = ApplySettings();
  // Refused flow control (one the device cannot enforce) leaves the lines
  // driven as before, so DTR and RTS still take their wanted levels.
  if (result != 0) {
    DtrAuto = dtrAuto;
    RtsAuto = rtsAuto;
  }
  return result;
}

int TSerBaseDispatcher::SetSoftwareFlow(DWORD bufferFull, DWORD bufferResume, DWORD options) {
  SectionHold hold(DispatcherLock);
  if (bufferFull < bufferResume || bufferFull > InQueueSize) return ecBadArgument;
  ReadSettingsLocked();
  DCB& s = DeviceSettings;
  if (options & sfReceive) {
    s.fInX = 1;
    s.XoffLim = static_cast<WORD>(InQueueSize - bufferFull);
    s.XonLim = static_cast<WORD>(bufferResume);
    s.XonChar = kXon;
    s.XoffChar = kXoff;
  }
  if (options & sfTransmit) {
    s.fOutX = 1;
    s.XonChar = kXon;
    s.XoffChar = kXoff;
  }
  return ApplySettings();
}

int TSerBaseDispatcher::ClearSoftwareFlow() {
  SectionHold hold(DispatcherLock);
  ReadSettingsLocked();
  DeviceSettings.fInX = 0;
  DeviceSettings.fOutX = 0;
  return ApplySettings();
}

int TSerBaseDispatcher::SetFlowChars(char xonChar, char xoffChar) {
  SectionHold hold(DispatcherLock);
  ReadSettingsLocked();
  DeviceSettings.XonChar = xonChar;
  DeviceSettings.XoffChar = xoffChar;
  return ApplySettings();
}

void TSerBaseDispatcher::GetFlowSettings(DWORD& hardwareOptions, DWORD& softwareOptions,
                                         char& xonChar, char& xoffChar) {
  SectionHold hold(DispatcherLock);
  ReadSettingsLocked();
  const DCB& s = DeviceSettings;
  hardwareOptions = (s.fDtrControl == DTR_CONTROL_HANDSHAKE ? hfUseDTR : 0) |
                    (s.fRtsControl == RTS_CONTROL_HANDSHAKE ? hfUseRTS : 0) |
                    (s.fOutxDsrFlow ? hfRequireDSR : 0) | (s.fOutxCtsFlow ? hfRequireCTS : 0);
  softwareOptions = (s.fOutX ? sfTransmit : 0) | (s.fInX ? sfReceive : 0);
  xonChar = s.XonChar;
  xoffChar = s.XoffChar;
}

}  // namespace ser
