// Opening and closing the port: asking for a port, starting the line, the
// settings pushed at every open, the close deferred while a handler runs, and
// moving an open port to another number.
#include <QTimer>
#include <exception>

#include "platform/clock.h"
#include "platform/port_map.h"
#include "platform/serial.h"
#include "serial/exceptions.h"
#include "serial/message_pump.h"
#include "serial/open_failure.h"
#include "serial/result_codes.h"
#include "serial/ui/check_result.h"
#include "serial/ui/com_port.h"
#include "serial/ui/com_select_form.h"
#include "serial/ui/word_parts.h"
#include "serial/win32_dispatcher.h"

std::unique_ptr<ser::TSerBaseDispatcher> TSerCustomComPort::CreateDispatcher() {
  if (deviceLayer_ != dlWin32) throw ser::ENullApi(ser::ecNullApi);
  return std::make_unique<ser::TSerWin32Dispatcher>(this);
}

void TSerCustomComPort::SetOpen(bool value) {
  if (!value) StopLooking();
  if (value == open_) return;
  if (Designing() || Loading()) {
    open_ = value;
    if (value) OpenAfterLoad = true;
    return;
  }
  if (!value) {
    ClosePort();
  } else if (OpenState != osClosed) {
    ReopenRequested = true;
  } else {
    OpenPort();
  }
}

void TSerCustomComPort::ValidateComNumber() {
  if (comNumber_ != 0) return;
  if (!promptForPort_) throw ser::ENoPortSelected(ser::ecNoPortSelected);
  auto form = std::make_unique<TComSelectForm>();
  if (form->ShowModal() != mrOk) throw ser::ENoPortSelected(ser::ecNoPortSelected);
  SetComNumber(static_cast<WORD>(form->SelectedComNumber()));
}

int TSerCustomComPort::StartLine() {
  BYTE lineFlags = 0;
  if (dtr_) lineFlags |= ser::lfDtrOn;
  if (rts_) lineFlags |= ser::lfRtsOn;
  if (hwFlowOptions_.Contains(hwfUseDTR)) lineFlags |= ser::lfDtrAuto;
  if (hwFlowOptions_.Contains(hwfUseRTS)) lineFlags |= ser::lfRtsAuto;
  return ActiveDispatcher->OpenLine(ComPortName(comNumber_), static_cast<DWORD>(baud_), parity_,
                                    LowByte(dataBits_), LowByte(stopBits_), inSize_, outSize_,
                                    lineFlags);
}

void TSerCustomComPort::OpenPort() {
  // No telephony layer hands this port an open line, so tmOn opens like
  // every other mode, and may ask for the port like them.
  ValidateComNumber();
  ActiveDispatcher = CreateDispatcher();
  ActiveDispatcher->DeviceName = "COM" + std::to_string(comNumber_);
  try {
    const int result = StartLine();
    if (result < 0) {
      ser::RaiseOpenFailure(result,
                            ComPortDevicePath(comNumber_).value_or(ComPortName(comNumber_)));
    }
    if (result == 0) {
      OpenState = osOpen;
      UpdateHandlerMode();
    }
    ForceApply = true;
    SetTracing(tracing_);
    SetLogging(logging_);
    SetHWFlowOptions(hwFlowOptions_);
    SetSWFlowOptions(swFlowOptions_);
    SetXOnChar(xOnChar_);
    SetXOffChar(xOffChar_);
    SetAvailThreshold(availThreshold_);
    SetDTR(dtr_);
    SetRTS(rts_);
    SetUseEventWord(useEventWord_);
    SetRS485Mode(rs485Mode_);
    SetThreadPriorityBoost(threadPriorityBoost_);
    ForceApply = false;
    open_ = true;
    SetupNotifyWindow(true);
    devicePath_ = ComPortDevicePath(comNumber_).value_or(ComPortName(comNumber_));
    gone_ = DevicePresence::kPresent;
    if (returnWatch_) returnWatch_->stop();
    if (TriggersSaved) {
      TriggersSaved = false;
      ActiveDispatcher->RestoreTriggers(SavedTriggers);
    }
    NotifyPortOpen();
  } catch (...) {
    ForceApply = false;
    ReleaseDispatcher();
    throw;
  }
}

void TSerCustomComPort::ReleaseDispatcher() {
  SetupNotifyWindow(false);
  ActiveDispatcher.reset();
  OpenState = osClosed;
  open_ = false;
}

void TSerCustomComPort::ClosePort() {
  if (OpenState != osOpen) return;
  // A trace or log file that cannot be written must not keep the port open:
  // the close goes on and the first such error is raised at its end.
  std::exception_ptr dumpError;
  try {
    SetTracing(appendTrace_ ? tlAppend : tlDump);
  } catch (...) {
    dumpError = std::current_exception();
  }
  try {
    SetLogging(appendLog_ ? tlAppend : tlDump);
  } catch (...) {
    if (!dumpError) dumpError = std::current_exception();
  }
  OpenState = osClosing;
  NotifyPortClosing();
  ActiveDispatcher->SaveTriggers(SavedTriggers);
  TriggersSaved = true;
  ActiveDispatcher->CloseLine();
  if (ActiveDispatcher->Delivering) {
    // A handler of this port is running: the dispatcher goes once its
    // threads have ended, which the posted message keeps checking.
    PostMessageA(NotifyWindow, ser::kMsgDeferredClose, 0,
                 static_cast<LPARAM>(ActiveDispatcher->Handle) << 16);
    ser::PumpOneMessage();
  } else {
    ReleaseDispatcher();
  }
  NotifyPortClose();
  if (dumpError) std::rethrow_exception(dumpError);
}

void TSerCustomComPort::FinishDeferredClose(LPARAM lParam) {
  if (OpenState != osClosing || !ActiveDispatcher) return;
  if (ActiveDispatcher->ThreadsRunning) {
    // The dispatch thread is finishing its delivery; give it the processor
    // rather than spinning through the queue.
    Sleep(1);
    PostMessageA(NotifyWindow, ser::kMsgDeferredClose, 0, lParam);
    return;
  }
  ReleaseDispatcher();
  if (gone_ != DevicePresence::kPresent) {
    // Nothing to open again until the device is back.
    ReopenRequested = false;
    EnterGone();
    return;
  }
  if (ReopenRequested) {
    ReopenRequested = false;
    OpenPort();
  }
}

void TSerCustomComPort::ChangePortWhileOpen(WORD value) {
  ActiveDispatcher->SaveTriggers(SavedTriggers);
  TTraceLogState tracing = tracing_;
  TTraceLogState logging = logging_;
  SetOpen(false);
  comNumber_ = value;
  SetTracing(tracing);
  SetLogging(logging);
  if (OpenState == osClosing) {
    // The close waits for a handler to return; open again once it has.
    ReopenRequested = true;
    return;
  }
  SetOpen(true);
  if (ser::TSerBaseDispatcher* dispatcher = AcquireDispatcher()) {
    dispatcher->RestoreTriggers(SavedTriggers);
  }
}
