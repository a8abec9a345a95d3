// Writers of the port's line settings: stored, and pushed to the dispatcher
// at once while the port is open.
#include "serial/ui/check_result.h"
#include "serial/ui/com_port.h"
#include "serial/ui/word_parts.h"

namespace {

constexpr std::size_t kMaxPassString = 255;

}  // namespace

void TSerCustomComPort::SetDeviceLayer(TDeviceLayer value) {
  // dlWin32 is the only layer this port can drive.
  if (OpenState != osClosed || value != dlWin32) return;
  if (value == deviceLayer_) return;
  deviceLayer_ = value;
  DeviceLayerChanged();
}

void TSerCustomComPort::SetComNumber(WORD value) {
  if (value == comNumber_) return;
  if (OpenState == osOpen) {
    ChangePortWhileOpen(value);
  } else {
    StopLooking();
    comNumber_ = value;
  }
}

void TSerCustomComPort::ApplyLineParams() {
  if (!PortIsOpen()) return;
  ser::CheckResult(this, ActiveDispatcher->SetLineParams(static_cast<DWORD>(baud_), parity_,
                                                         LowByte(dataBits_), LowByte(stopBits_)));
}

void TSerCustomComPort::SetBaud(LONG value) {
  if (value == baud_) return;
  baud_ = value;
  ApplyLineParams();
}

void TSerCustomComPort::SetParity(TParity value) {
  if (value == parity_) return;
  parity_ = value;
  ApplyLineParams();
}

void TSerCustomComPort::SetDataBits(WORD value) {
  if (value == dataBits_) return;
  dataBits_ = value;
  ApplyLineParams();
}

void TSerCustomComPort::SetStopBits(WORD value) {
  if (value == stopBits_) return;
  stopBits_ = value;
  ApplyLineParams();
}

void TSerCustomComPort::ApplyDriverQueues() {
  // The driver may refuse the sizes; the rings keep theirs either way.
  if (PortIsOpen()) ActiveDispatcher->SetDriverQueues(inSize_, outSize_);
}

void TSerCustomComPort::SetInSize(WORD value) {
  if (value == inSize_) return;
  inSize_ = value;
  ApplyDriverQueues();
}

void TSerCustomComPort::SetOutSize(WORD value) {
  if (value == outSize_) return;
  outSize_ = value;
  ApplyDriverQueues();
}

void TSerCustomComPort::SetDTR(bool value) {
  if (value == dtr_ && !ForceApply) return;
  if (!PortIsOpen()) {
    dtr_ = value;
    return;
  }
  // Kept only when the line took it: 1 means hardware flow control drives
  // the line, a negative result a driver that refused. Neither raises, so a
  // driver without modem lines cannot keep a port from opening.
  if (ActiveDispatcher->SetDtrState(value) == 0) dtr_ = value;
}

void TSerCustomComPort::SetRTS(bool value) {
  if (value == rts_ && !ForceApply) return;
  if (!PortIsOpen()) {
    rts_ = value;
    return;
  }
  if (ActiveDispatcher->SetRtsState(value) == 0) rts_ = value;
}

void TSerCustomComPort::ApplyFlowChars() {
  if (PortIsOpen()) ser::CheckResult(this, ActiveDispatcher->SetFlowChars(xOnChar_, xOffChar_));
}

void TSerCustomComPort::SetXOnChar(char value) {
  if (value == xOnChar_ && !ForceApply) return;
  xOnChar_ = value;
  ApplyFlowChars();
}

void TSerCustomComPort::SetXOffChar(char value) {
  if (value == xOffChar_ && !ForceApply) return;
  xOffChar_ = value;
  ApplyFlowChars();
}

void TSerCustomComPort::SetTraceName(const std::string& value) {
  traceName_ = value.substr(0, kMaxPassString);
}

void TSerCustomComPort::SetLogName(const std::string& value) {
  logName_ = value.substr(0, kMaxPassString);
}

void TSerCustomComPort::SetUseEventWord(bool value) {
  if (value == useEventWord_ && !ForceApply) return;
  useEventWord_ = value;
  if (!PortIsOpen()) return;
  // Bit 4 of the dispatcher's option word mirrors this option.
  constexpr DWORD kEventWordOption = 4;
  if (value) {
    ActiveDispatcher->SetOptionFlags(kEventWordOption);
  } else {
    ActiveDispatcher->ClearOptionFlags(kEventWordOption);
  }
}

void TSerCustomComPort::SetCommNotificationLevel(WORD value) {
  commNotificationLevel_ = value;
}

void TSerCustomComPort::SetAvailThreshold(WORD value) {
  if (value == availThreshold_ && !ForceApply) return;
  availThreshold_ = value;
  if (PortIsOpen()) ActiveDispatcher->SetAvailThreshold(value);
}

void TSerCustomComPort::SetThreadPriorityBoost(BYTE value) {
  if (value == threadPriorityBoost_ && !ForceApply) return;
  threadPriorityBoost_ = value;
  if (PortIsOpen()) ActiveDispatcher->ApplyThreadBoost(value);
}
