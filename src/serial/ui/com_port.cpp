#include "serial/ui/com_port.h"

#include <QTimer>

#include "gui/application.h"
#include "serial/result_codes.h"
#include "serial/ui/check_result.h"

TSerCustomComPort::TSerCustomComPort(TComponent* owner) : TSerBaseComponent(owner) {}

TSerCustomComPort::~TSerCustomComPort() {
  if (OpenState == osOpen) {
    try {
      ClosePort();
    } catch (...) {
      // The port is closed either way; what failed (a trace or log file that
      // could not be written) is reported, since a destructor cannot raise.
      if (Application().OnMainThread()) Application().HandleException();
    }
  }
  // A close deferred by a delivery may still be waiting for its message:
  // finish it now, so that message can never reach a destroyed port.
  if (ActiveDispatcher) ReleaseDispatcher();
}

void TSerCustomComPort::Assign(const TComponent* source) {
  const auto* other = dynamic_cast<const TSerCustomComPort*>(source);
  if (!other) return;
  // Closed first, so a running trace or log is written under the old names
  // and the copied values never describe a line that is open.
  SetOpen(false);
  ForceApply = other->ForceApply;
  deviceLayer_ = other->deviceLayer_;
  comNumber_ = other->comNumber_;
  baud_ = other->baud_;
  parity_ = other->parity_;
  dataBits_ = other->dataBits_;
  stopBits_ = other->stopBits_;
  inSize_ = other->inSize_;
  outSize_ = other->outSize_;
  autoOpen_ = other->autoOpen_;
  promptForPort_ = other->promptForPort_;
  rs485Mode_ = other->rs485Mode_;
  threadPriorityBoost_ = other->threadPriorityBoost_;
  dtr_ = other->dtr_;
  rts_ = other->rts_;
  bufferFull_ = other->bufferFull_;
  bufferResume_ = other->bufferResume_;
  hwFlowOptions_ = other->hwFlowOptions_;
  swFlowOptions_ = other->swFlowOptions_;
  xOnChar_ = other->xOnChar_;
  xOffChar_ = other->xOffChar_;
  tracing_ = other->tracing_;
  traceSize_ = other->traceSize_;
  traceName_ = other->traceName_;
  traceHex_ = other->traceHex_;
  traceAllHex_ = other->traceAllHex_;
  logging_ = other->logging_;
  logSize_ = other->logSize_;
  logName_ = other->logName_;
  logHex_ = other->logHex_;
  logAllHex_ = other->logAllHex_;
  availThreshold_ = other->availThreshold_;
  tapiMode_ = other->tapiMode_;
  SetOnTrigger(other->onTrigger_);
  SetOnTriggerAvail(other->onTriggerAvail_);
  SetOnTriggerData(other->onTriggerData_);
  SetOnTriggerStatus(other->onTriggerStatus_);
  SetOnTriggerTimer(other->onTriggerTimer_);
  onPortOpen_ = other->onPortOpen_;
  onPortClose_ = other->onPortClose_;
  if (other->OpenState == osOpen && other->ActiveDispatcher) {
    other->ActiveDispatcher->SaveTriggers(SavedTriggers);
    TriggersSaved = true;
  }
}

void TSerCustomComPort::Loaded() {
  TSerBaseComponent::Loaded();
  if (Designing()) return;
  // Loading has ended, so the writer would open at once, and open again just
  // below, with nothing to catch a failure: only the value is set here.
  if (OpenAfterLoad) open_ = true;
  if (!open_) return;
  OpenAfterLoad = false;
  try {
    OpenPort();
  } catch (...) {
    open_ = false;
    Application().HandleException();
  }
}

void TSerCustomComPort::WriteText(const std::string& text) {
  // While the device is gone nothing is sent, and no open is tried: the
  // port looks for the device on its own.
  if (OpenState == osClosing || gone_ != DevicePresence::kPresent) return;
  ser::TSerBaseDispatcher* dispatcher = RequireDispatcher();
  // None only while loading, when nothing may open the port.
  if (!dispatcher) return;
  ser::CheckResult(this, dispatcher->WriteBlock(text.data(), static_cast<DWORD>(text.size())));
}

char TSerCustomComPort::TakeChar() {
  if (OpenState == osClosing || gone_ != DevicePresence::kPresent) return 0;
  ser::TSerBaseDispatcher* dispatcher = RequireDispatcher();
  if (!dispatcher) return 0;
  BYTE c = 0;
  int result = dispatcher->ReadChar(c);
  if (result == 0) return static_cast<char>(c);
  ser::CheckResult(this, result);
  return 0;
}

ser::TSerBaseDispatcher* TSerCustomComPort::AcquireDispatcher() {
  if (!ActiveDispatcher && !Designing() && !Loading() && OpenState != osOpen && autoOpen_) {
    SetOpen(true);
  }
  return ActiveDispatcher.get();
}

ser::TSerBaseDispatcher* TSerCustomComPort::RequireDispatcher() {
  ser::TSerBaseDispatcher* dispatcher = AcquireDispatcher();
  if (!dispatcher) ser::CheckResult(this, ser::ecCommNotOpen);
  return dispatcher;
}

WORD TSerCustomComPort::LineErrorValue() {
  return PortIsOpen() ? static_cast<WORD>(ActiveDispatcher->LineErrorState()) : 0;
}

bool TSerCustomComPort::LineBreakValue() {
  return PortIsOpen() && ActiveDispatcher->LineBreakState();
}

void TSerCustomComPort::YieldToLine() {
  if (ActiveDispatcher) ActiveDispatcher->YieldSlice();
}
