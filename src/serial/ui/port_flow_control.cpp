// Flow control: the hardware and software options, the buffer thresholds
// they share, and RS-485 transmit control, which excludes RTS handshaking.
#include "serial/ui/check_result.h"
#include "serial/ui/com_port.h"

namespace {

// The software flow word: receive 2, transmit 1.
DWORD SoftwareFlowWord(TSWFlowOptions options) {
  switch (options) {
    case swfNone:
      return 0;
    case swfReceive:
      return 2;
    case swfTransmit:
      return 1;
    case swfBoth:
      return 3;
  }
  return 0;
}

}  // namespace

void TSerCustomComPort::SetHWFlowOptions(THWFlowOptionSet value) {
  if (value == hwFlowOptions_ && !ForceApply) return;
  DWORD word = value.FlowWord();
  if (word != 0) {
    // Thresholds of 90% and 10% of the input queue, where none fit.
    if (bufferFull_ == 0 || bufferFull_ > inSize_)
      bufferFull_ = static_cast<WORD>(inSize_ * 9 / 10);
    if (bufferResume_ == 0 || bufferResume_ > bufferFull_) {
      bufferResume_ = static_cast<WORD>(inSize_ / 10);
    }
  }
  if (PortIsOpen()) {
    ser::CheckResult(this, ActiveDispatcher->SetHardwareFlow(bufferFull_, bufferResume_, word));
  }
  hwFlowOptions_ = value;
  if (value.Contains(hwfUseRTS) || value.Contains(hwfRequireCTS)) SetRS485Mode(false);
}

void TSerCustomComPort::SetSWFlowOptions(TSWFlowOptions value) {
  if (value == swFlowOptions_ && !ForceApply) return;
  DWORD word = SoftwareFlowWord(value);
  if (word != 0) {
    // Thresholds of 75% and 25% of the input queue, where none fit.
    if (bufferFull_ == 0 || bufferFull_ > inSize_) bufferFull_ = static_cast<WORD>(inSize_ * 3 / 4);
    if (bufferResume_ == 0 || bufferResume_ > bufferFull_) {
      bufferResume_ = static_cast<WORD>(inSize_ / 4);
    }
  }
  if (PortIsOpen()) {
    int result = word != 0 ? ActiveDispatcher->SetSoftwareFlow(bufferFull_, bufferResume_, word)
                           : ActiveDispatcher->ClearSoftwareFlow();
    ser::CheckResult(this, result);
  }
  swFlowOptions_ = value;
}

void TSerCustomComPort::ReapplyFlowControl() {
  bool previous = ForceApply;
  ForceApply = true;
  try {
    SetHWFlowOptions(hwFlowOptions_);
    SetSWFlowOptions(swFlowOptions_);
  } catch (...) {
    ForceApply = previous;
    throw;
  }
  ForceApply = previous;
}

void TSerCustomComPort::SetBufferFull(WORD value) {
  if (value == bufferFull_ && !ForceApply) return;
  bufferFull_ = value > inSize_ ? static_cast<WORD>(value * 9 / 10) : value;
  ReapplyFlowControl();
}

void TSerCustomComPort::SetBufferResume(WORD value) {
  if (value == bufferResume_ && !ForceApply) return;
  bufferResume_ = value > bufferFull_ ? static_cast<WORD>(bufferFull_ / 10) : value;
  ReapplyFlowControl();
}

void TSerCustomComPort::SetRS485Mode(bool value) {
  if (value == rs485Mode_ && !ForceApply) return;
  rs485Mode_ = value;
  if (PortIsOpen()) ActiveDispatcher->ApplyRS485Mode(value);
  if (!value) return;
  // The transmitter drives RTS now: no RTS handshake, and RTS idles low.
  SetHWFlowOptions(hwFlowOptions_.Without(hwfUseRTS).Without(hwfRequireCTS));
  SetRTS(false);
}
