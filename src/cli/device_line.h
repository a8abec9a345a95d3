// One device's serial line, on the thread that made it: the dispatcher over
// the port, the hidden window its notifications are sent to, and the wait
// that serves them. It is the dialogue's port. Each device has its own line
// on its own thread, so a dialogue's pauses hold up only its own device.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "app/dialogue/dialogue_port.h"
#include "cli/port_choice.h"
#include "platform/device_presence.h"
#include "platform/messages.h"
#include "serial/win32_dispatcher.h"

// What the line's notifications ask of its owner, on the line's thread.
class LineEvents {
 public:
  virtual ~LineEvents() = default;
  // `count` received characters wait to be taken.
  virtual void Avail(WORD count) = 0;
  // The device went away; nothing more arrives.
  virtual void Gone(DevicePresence how) = 0;
};

// The serial trace and dispatch log, recorded from the open and written
// when the line closes; an empty name records nothing.
struct RecorderFiles {
  std::string Trace;
  std::string Log;
};

// Milliseconds from now until `when`; 0 once it has passed.
DWORD MillisecondsUntil(std::chrono::steady_clock::time_point when);

class DeviceLine : public DialoguePort {
 public:
  // Opens the port at the window's settings (19,200 baud, 8N1, DTR and RTS
  // raised); raises the port's open errors, in the window's words.
  DeviceLine(const PortChoice& port, const RecorderFiles& recorders, LineEvents& events);
  ~DeviceLine() override;
  DeviceLine(const DeviceLine&) = delete;
  DeviceLine& operator=(const DeviceLine&) = delete;

  void WriteText(const std::string& text) override;
  char TakeChar() override;
  WORD ComNumber() const override { return comNumber_; }
  // The last command line written, without its line end: with one command
  // in flight, the one a refusal answers.
  const std::string& LastCommand() const { return lastCommand_; }

  // Drops what the device sends until it has been quiet for a moment: the
  // late answers of an earlier session cut short would otherwise be taken
  // for this session's. False once `stop` is set.
  bool Settle(HANDLE stop);
  // Waits up to `milliseconds` for a notification, or for `stop` to be set,
  // and serves the notifications that came; false once `stop` is set. An
  // error raised while serving them is raised here.
  bool Serve(DWORD milliseconds, HANDLE stop);
  // Writes the trace and log and closes the port: nothing is sent to the
  // device. The files' error, empty when they were written.
  std::string Close();

 private:
  static LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Notified(UINT message, WPARAM wParam);

  LineEvents& events_;
  RecorderFiles recorders_;
  WORD comNumber_;
  std::string lastCommand_;
  std::unique_ptr<ser::TSerWin32Dispatcher> dispatcher_;
  HWND window_ = nullptr;
  std::exception_ptr failure_;
  // While settling, what arrives is dropped; when it last did.
  bool settling_ = false;
  std::chrono::steady_clock::time_point lastArrival_;
};
