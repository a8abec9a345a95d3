// The serial port component: keeps the port's settings, opens the port the
// first time anything needs it (asking the user for a port when none is
// configured), owns the dispatcher while open, and raises the dispatcher's
// notifications as events on the user-interface thread through a hidden
// window. Every operation runs on the user-interface thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "gui/component.h"
#include "platform/device_presence.h"
#include "platform/messages.h"
#include "serial/dispatcher.h"
#include "serial/triggers.h"
#include "serial/ui/port_types.h"

// The base of the serial line's components: only the version text.
class TSerBaseComponent : public TComponent {
 public:
  using TComponent::TComponent;

  std::string Version() const { return "v4.06"; }
  // Accepted and without effect: the version is the code's own.
  void SetVersion(const std::string&) {}
};

class QTimer;

class TSerCustomComPort : public TSerBaseComponent {
 public:
  explicit TSerCustomComPort(TComponent* owner);
  ~TSerCustomComPort() override;

  // ---- Properties, each with its reader and its writer.

  TDeviceLayer DeviceLayer() const { return deviceLayer_; }
  void SetDeviceLayer(TDeviceLayer value);
  // 0: no port configured; the first open then asks the user.
  WORD ComNumber() const { return comNumber_; }
  void SetComNumber(WORD value);
  LONG Baud() const { return baud_; }
  void SetBaud(LONG value);
  bool PromptForPort() const { return promptForPort_; }
  void SetPromptForPort(bool value) { promptForPort_ = value; }
  TParity Parity() const { return parity_; }
  void SetParity(TParity value);
  WORD DataBits() const { return dataBits_; }
  void SetDataBits(WORD value);
  WORD StopBits() const { return stopBits_; }
  void SetStopBits(WORD value);
  WORD InSize() const { return inSize_; }
  void SetInSize(WORD value);
  WORD OutSize() const { return outSize_; }
  void SetOutSize(WORD value);
  bool AutoOpen() const { return autoOpen_; }
  void SetAutoOpen(bool value) { autoOpen_ = value; }
  bool Open() const { return open_; }
  void SetOpen(bool value);
  bool DTR() const { return dtr_; }
  void SetDTR(bool value);
  bool RTS() const { return rts_; }
  void SetRTS(bool value);
  THWFlowOptionSet HWFlowOptions() const { return hwFlowOptions_; }
  void SetHWFlowOptions(THWFlowOptionSet value);
  TSWFlowOptions SWFlowOptions() const { return swFlowOptions_; }
  void SetSWFlowOptions(TSWFlowOptions value);
  char XOnChar() const { return xOnChar_; }
  void SetXOnChar(char value);
  char XOffChar() const { return xOffChar_; }
  void SetXOffChar(char value);
  WORD BufferFull() const { return bufferFull_; }
  void SetBufferFull(WORD value);
  WORD BufferResume() const { return bufferResume_; }
  void SetBufferResume(WORD value);
  TTraceLogState Tracing() const { return tracing_; }
  void SetTracing(TTraceLogState value);
  DWORD TraceSize() const { return traceSize_; }
  void SetTraceSize(DWORD value);
  const std::string& TraceName() const { return traceName_; }
  void SetTraceName(const std::string& value);
  bool TraceHex() const { return traceHex_; }
  void SetTraceHex(bool value) { traceHex_ = value; }
  bool TraceAllHex() const { return traceAllHex_; }
  void SetTraceAllHex(bool value) { traceAllHex_ = value; }
  TTraceLogState Logging() const { return logging_; }
  void SetLogging(TTraceLogState value);
  DWORD LogSize() const { return logSize_; }
  void SetLogSize(DWORD value);
  const std::string& LogName() const { return logName_; }
  void SetLogName(const std::string& value);
  bool LogHex() const { return logHex_; }
  void SetLogHex(bool value) { logHex_ = value; }
  bool LogAllHex() const { return logAllHex_; }
  void SetLogAllHex(bool value) { logAllHex_ = value; }
  // The modem-status shadow is always used.
  bool UseMSRShadow() const { return true; }
  void SetUseMSRShadow(bool value) { ApplyMSRShadow(value); }
  bool UseEventWord() const { return useEventWord_; }
  void SetUseEventWord(bool value);
  WORD CommNotificationLevel() const { return commNotificationLevel_; }
  void SetCommNotificationLevel(WORD value);
  TTapiMode TapiMode() const { return tapiMode_; }
  void SetTapiMode(TTapiMode value) { tapiMode_ = value; }
  bool RS485Mode() const { return rs485Mode_; }
  void SetRS485Mode(bool value);
  // The fewest unread characters that raise an avail notification.
  WORD AvailThreshold() const { return availThreshold_; }
  void SetAvailThreshold(WORD value);
  BYTE ThreadPriorityBoost() const { return threadPriorityBoost_; }
  void SetThreadPriorityBoost(BYTE value);

  // ---- Events, raised on the user-interface thread only when assigned.

  const TNotifyEvent& OnPortClose() const { return onPortClose_; }
  void SetOnPortClose(TNotifyEvent handler) { onPortClose_ = std::move(handler); }
  const TNotifyEvent& OnPortOpen() const { return onPortOpen_; }
  void SetOnPortOpen(TNotifyEvent handler) { onPortOpen_ = std::move(handler); }
  const TTriggerEvent& OnTrigger() const { return onTrigger_; }
  void SetOnTrigger(TTriggerEvent handler);
  const TTriggerAvailEvent& OnTriggerAvail() const { return onTriggerAvail_; }
  void SetOnTriggerAvail(TTriggerAvailEvent handler);
  const TTriggerDataEvent& OnTriggerData() const { return onTriggerData_; }
  void SetOnTriggerData(TTriggerDataEvent handler);
  const TTriggerStatusEvent& OnTriggerStatus() const { return onTriggerStatus_; }
  void SetOnTriggerStatus(TTriggerStatusEvent handler);
  const TTriggerTimerEvent& OnTriggerTimer() const { return onTriggerTimer_; }
  void SetOnTriggerTimer(TTriggerTimerEvent handler);
  const TTriggerLineErrorEvent& OnTriggerLineError() const { return onTriggerLineError_; }
  void SetOnTriggerLineError(TTriggerLineErrorEvent handler);
  const TNotifyEvent& OnTriggerModemStatus() const { return onTriggerModemStatus_; }
  void SetOnTriggerModemStatus(TNotifyEvent handler);
  const TNotifyEvent& OnTriggerOutbuffFree() const { return onTriggerOutbuffFree_; }
  void SetOnTriggerOutbuffFree(TNotifyEvent handler);
  const TNotifyEvent& OnTriggerOutbuffUsed() const { return onTriggerOutbuffUsed_; }
  void SetOnTriggerOutbuffUsed(TNotifyEvent handler);
  const TNotifyEvent& OnTriggerOutSent() const { return onTriggerOutSent_; }
  void SetOnTriggerOutSent(TNotifyEvent handler);
  // The device went away (its line hung up, or its node was removed): the
  // port has closed itself, and looks once a second for the device to return.
  const TNotifyEvent& OnPortGone() const { return onPortGone_; }
  void SetOnPortGone(TNotifyEvent handler) { onPortGone_ = std::move(handler); }
  // The device is back: the port opened it again with its settings.
  const TNotifyEvent& OnPortBack() const { return onPortBack_; }
  void SetOnPortBack(TNotifyEvent handler) { onPortBack_ = std::move(handler); }
  // Not published: raised by DoWaitChar.
  const TWaitCharEvent& OnWaitChar() const { return onWaitChar_; }
  void SetOnWaitChar(TWaitCharEvent handler) { onWaitChar_ = std::move(handler); }

  // ---- Operations.

  // Writes the whole text to the port, opening it first when needed.
  void WriteText(const std::string& text);
  // The next received character, opening the port first when needed.
  char TakeChar();
  // The dispatcher, after opening the port when it is closed and AutoOpen is
  // set; none only when no open was attempted.
  ser::TSerBaseDispatcher* AcquireDispatcher();
  // As AcquireDispatcher, but raises ECommNotOpen where that gives none.
  ser::TSerBaseDispatcher* RequireDispatcher();
  // Whether the device went away, and how; present again once it is back,
  // or once the port is closed or given another COM number meanwhile, which
  // ends the looking.
  DevicePresence Gone() const { return gone_; }
  // The Linux device the port last opened, so a gone one can be named.
  const std::string& DevicePath() const { return devicePath_; }
  // Reopens a gone device when its COM number stands for a device, but not
  // one whose line hung up, unchanged; after a failed try only once that
  // device changed (or while it is busy). Reports a failure once. Runs every
  // second while the device is gone.
  void LookForDevice();
  WORD LineErrorValue();
  bool LineBreakValue();
  // Copies the settings of another port without touching either line.
  void Assign(const TComponent* source) override;

 protected:
  void Loaded() override;

  virtual std::unique_ptr<ser::TSerBaseDispatcher> CreateDispatcher();
  virtual void DeviceLayerChanged() {}
  virtual int StartLine();
  virtual void SetupNotifyWindow(bool create);
  virtual void ValidateComNumber();
  virtual void ApplyMSRShadow(bool) {}
  virtual void DoTrigger(WORD msg, WORD triggerHandle, WORD data);
  virtual void DoTriggerAvail(WORD count);
  virtual void DoTriggerData(WORD triggerHandle);
  virtual void DoTriggerStatus(WORD triggerHandle);
  virtual void DoTriggerTimer(WORD triggerHandle);
  virtual void UpdateHandlerMode();
  virtual void DoTriggerLineError(WORD error, bool lineBreak);
  virtual void DoTriggerModemStatus();
  virtual void DoTriggerOutbuffFree();
  virtual void DoTriggerOutbuffUsed();
  virtual void DoTriggerOutSent();
  virtual void DoWaitChar(char c);
  virtual void ClosePort();
  virtual void YieldToLine();

  virtual void NotifyPortOpen();
  virtual void NotifyPortClose();
  virtual void NotifyPortClosing() {}
  virtual void OpenPort();

  TOpenState OpenState = osClosed;
  // Exists from the start of an open until the close completes.
  std::unique_ptr<ser::TSerBaseDispatcher> ActiveDispatcher;
  HWND NotifyWindow = nullptr;
  // Makes the writers that honour it push unchanged values again.
  bool ForceApply = false;
  // An open was asked for while a close was still completing.
  bool ReopenRequested = false;
  // Open was set while the component was being loaded.
  bool OpenAfterLoad = false;
  // Triggers saved at the last close, restored at the next open.
  bool TriggersSaved = false;
  ser::TTriggerSave SavedTriggers;

 private:
  // Which of the two recorders a state change concerns.
  enum TRecorder { rcTrace, rcLog };

  static LRESULT NotifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void HandleNotification(UINT message, WPARAM wParam, LPARAM lParam);
  void FinishDeferredClose(LPARAM lParam);
  // Frees the dispatcher and its window and marks the port closed.
  void ReleaseDispatcher();
  void ChangePortWhileOpen(WORD value);
  // The notification that the device went away; the close it starts may
  // finish later, in EnterGone.
  void DeviceGone();
  void EnterGone();
  void StopLooking();
  void ApplyRecorderState(TRecorder recorder, TTraceLogState value);
  void ChangeRecorderSize(TRecorder recorder);
  void ApplyLineParams();
  void ApplyDriverQueues();
  void ApplyFlowChars();
  void ReapplyFlowControl();
  // Whether settings go to the dispatcher now.
  bool PortIsOpen() const { return OpenState == osOpen && ActiveDispatcher != nullptr; }

  TDeviceLayer deviceLayer_ = dlWin32;
  WORD comNumber_ = 0;
  LONG baud_ = 19200;
  bool promptForPort_ = true;
  TParity parity_ = pNone;
  WORD dataBits_ = 8;
  WORD stopBits_ = 1;
  WORD inSize_ = 4096;
  WORD outSize_ = 4096;
  bool autoOpen_ = true;
  bool open_ = false;
  bool dtr_ = true;
  bool rts_ = true;
  THWFlowOptionSet hwFlowOptions_;
  TSWFlowOptions swFlowOptions_ = swfNone;
  char xOnChar_ = 17;
  char xOffChar_ = 19;
  WORD bufferFull_ = 0;
  WORD bufferResume_ = 0;
  TTraceLogState tracing_ = tlOff;
  DWORD traceSize_ = 10000;
  std::string traceName_ = "SERIAL.TRC";
  bool traceHex_ = true;
  bool traceAllHex_ = false;
  TTraceLogState logging_ = tlOff;
  DWORD logSize_ = 10000;
  std::string logName_ = "SERIAL.LOG";
  bool logHex_ = true;
  bool logAllHex_ = false;
  bool useEventWord_ = true;
  WORD commNotificationLevel_ = 10;
  TTapiMode tapiMode_ = tmAuto;
  bool rs485Mode_ = false;
  WORD availThreshold_ = 1;
  BYTE threadPriorityBoost_ = 0;

  DevicePresence gone_ = DevicePresence::kPresent;
  std::string devicePath_;
  std::unique_ptr<QTimer> returnWatch_;
  PortLook goneDevice_;  // the device that went away, as it was then
  // What the last try opened; it counts only after a failed try, since one
  // that succeeds ends the looking.
  std::optional<PortLook> triedLook_;
  bool lastTryBusy_ = false;
  std::string lastFailure_;
  // Set once a close after the device went away wrote the file: the files
  // of later closes are added to it, so nothing recorded before is lost.
  bool appendTrace_ = false, appendLog_ = false;

  TNotifyEvent onPortClose_, onPortOpen_, onPortGone_, onPortBack_;
  TTriggerEvent onTrigger_;
  TTriggerAvailEvent onTriggerAvail_;
  TTriggerDataEvent onTriggerData_;
  TTriggerStatusEvent onTriggerStatus_;
  TTriggerTimerEvent onTriggerTimer_;
  TTriggerLineErrorEvent onTriggerLineError_;
  TNotifyEvent onTriggerModemStatus_, onTriggerOutbuffFree_, onTriggerOutbuffUsed_,
      onTriggerOutSent_;
  TWaitCharEvent onWaitChar_;
};

// The port component as the window places it: every property published.
class TSerComPort : public TSerCustomComPort {
 public:
  using TSerCustomComPort::TSerCustomComPort;
};
