// The port's events: their writers, the handler mode they decide, and the
// operations that raise them.
#include "serial/ui/com_port.h"

void TSerCustomComPort::SetOnTrigger(TTriggerEvent handler) {
  onTrigger_ = std::move(handler);
  UpdateHandlerMode();
}

void TSerCustomComPort::SetOnTriggerAvail(TTriggerAvailEvent handler) {
  onTriggerAvail_ = std::move(handler);
  UpdateHandlerMode();
}

void TSerCustomComPort::SetOnTriggerData(TTriggerDataEvent handler) {
  onTriggerData_ = std::move(handler);
  UpdateHandlerMode();
}

void TSerCustomComPort::SetOnTriggerStatus(TTriggerStatusEvent handler) {
  onTriggerStatus_ = std::move(handler);
  UpdateHandlerMode();
}

void TSerCustomComPort::SetOnTriggerTimer(TTriggerTimerEvent handler) {
  onTriggerTimer_ = std::move(handler);
  UpdateHandlerMode();
}

void TSerCustomComPort::SetOnTriggerLineError(TTriggerLineErrorEvent handler) {
  onTriggerLineError_ = std::move(handler);
  UpdateHandlerMode();
}

void TSerCustomComPort::SetOnTriggerModemStatus(TNotifyEvent handler) {
  onTriggerModemStatus_ = std::move(handler);
  UpdateHandlerMode();
}

void TSerCustomComPort::SetOnTriggerOutbuffFree(TNotifyEvent handler) {
  onTriggerOutbuffFree_ = std::move(handler);
  UpdateHandlerMode();
}

void TSerCustomComPort::SetOnTriggerOutbuffUsed(TNotifyEvent handler) {
  onTriggerOutbuffUsed_ = std::move(handler);
  UpdateHandlerMode();
}

void TSerCustomComPort::SetOnTriggerOutSent(TNotifyEvent handler) {
  onTriggerOutSent_ = std::move(handler);
  UpdateHandlerMode();
}

void TSerCustomComPort::UpdateHandlerMode() {
  if (OpenState != osOpen || !ActiveDispatcher) return;
  bool anyHandler = onTrigger_ || onTriggerAvail_ || onTriggerData_ || onTriggerStatus_ ||
                    onTriggerTimer_ || onTriggerLineError_ || onTriggerModemStatus_ ||
                    onTriggerOutbuffFree_ || onTriggerOutbuffUsed_ || onTriggerOutSent_;
  // 1: the port's own window wants every notification; 2: only other targets count.
  ActiveDispatcher->SetHandlerMode(anyHandler ? 1 : 2);
}

void TSerCustomComPort::DoTrigger(WORD msg, WORD triggerHandle, WORD data) {
  if (onTrigger_) onTrigger_(this, msg, triggerHandle, data);
}

void TSerCustomComPort::DoTriggerAvail(WORD count) {
  if (onTriggerAvail_) onTriggerAvail_(this, count);
}

void TSerCustomComPort::DoTriggerData(WORD triggerHandle) {
  if (onTriggerData_) onTriggerData_(this, triggerHandle);
}

void TSerCustomComPort::DoTriggerStatus(WORD triggerHandle) {
  if (onTriggerStatus_) onTriggerStatus_(this, triggerHandle);
}

void TSerCustomComPort::DoTriggerTimer(WORD triggerHandle) {
  if (onTriggerTimer_) onTriggerTimer_(this, triggerHandle);
}

void TSerCustomComPort::DoTriggerLineError(WORD error, bool lineBreak) {
  if (onTriggerLineError_) onTriggerLineError_(this, error, lineBreak);
}

void TSerCustomComPort::DoTriggerModemStatus() {
  if (onTriggerModemStatus_) onTriggerModemStatus_(this);
}

void TSerCustomComPort::DoTriggerOutbuffFree() {
  if (onTriggerOutbuffFree_) onTriggerOutbuffFree_(this);
}

void TSerCustomComPort::DoTriggerOutbuffUsed() {
  if (onTriggerOutbuffUsed_) onTriggerOutbuffUsed_(this);
}

void TSerCustomComPort::DoTriggerOutSent() {
  if (onTriggerOutSent_) onTriggerOutSent_(this);
}

void TSerCustomComPort::DoWaitChar(char c) {
  if (onWaitChar_) onWaitChar_(this, c);
}

void TSerCustomComPort::NotifyPortOpen() {
  if (onPortOpen_) onPortOpen_(this);
}

void TSerCustomComPort::NotifyPortClose() {
  if (onPortClose_) onPortClose_(this);
}
