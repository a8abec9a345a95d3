#include "cli/device_line.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "platform/port_map.h"
#include "platform/sync.h"
#include "serial/exceptions.h"
#include "serial/open_failure.h"
#include "serial/result_codes.h"

namespace {

constexpr char kWindowClass[] = "morvelctlLine";
constexpr int ecInternal = -1006;
constexpr DWORD kBaud = 19200;
constexpr BYTE kDataBits = 8;
constexpr BYTE kStopBits = 1;
constexpr WORD kQueueSize = 4096;
// The recorders' sizes as the window's port has them.
constexpr DWORD kTraceEntries = 10000;
constexpr DWORD kLogBytes = 10000;
// How long the device must be quiet before the session starts, and the
// longest wait for that.
constexpr auto kQuietBeforeStart = std::chrono::milliseconds(300);
constexpr auto kLongestSettle = std::chrono::seconds(3);
// A device named by its path has no COM number; any number but 0 tells the
// dialogue that a port is chosen.
constexpr WORD kNoComNumber = 0xFFFF;

// The line whose window this thread serves: one per device thread.
thread_local DeviceLine* tLine = nullptr;

// The message of an error code, as the port would raise it.
std::string ResultText(int code) {
  try {
    ser::RaiseResult(code);
  } catch (const std::exception& error) {
    return error.what();
  }
}

}  // namespace

DeviceLine::DeviceLine(const PortChoice& port, const RecorderFiles& recorders, LineEvents& events)
    : events_(events),
      recorders_(recorders),
      comNumber_(static_cast<WORD>(ComNumberFromName(port.OpenName).value_or(kNoComNumber))) {
  static const bool registered = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &DeviceLine::WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassA(&windowClass) != 0;
  }();
  if (!registered) throw ser::EInternal(ecInternal);
  dispatcher_ = std::make_unique<ser::TSerWin32Dispatcher>(nullptr);
  dispatcher_->DeviceName = port.Label;
  const int opened = dispatcher_->OpenLine(port.OpenName, kBaud, NOPARITY, kDataBits, kStopBits,
                                           kQueueSize, kQueueSize, ser::lfDtrOn | ser::lfRtsOn);
  if (opened < 0) {
    dispatcher_.reset();
    ser::RaiseOpenFailure(opened, port.DevicePath);
  }
  // Everything else stays as the open leaves it: no flow control, as the
  // window's port has it.
  if (!recorders_.Trace.empty()) {
    if (const int traced = dispatcher_->OpenTrace(kTraceEntries); traced < 0) {
      Close();
      ser::RaiseResult(traced);
    }
  }
  if (!recorders_.Log.empty()) dispatcher_->OpenLog(kLogBytes);
  window_ = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  if (!window_) {
    Close();
    throw ser::EInternal(ecInternal);
  }
  tLine = this;
  dispatcher_->AddWindowTarget(window_);
  dispatcher_->SetHandlerMode(1);
  dispatcher_->SetAvailThreshold(1);
}

DeviceLine::~DeviceLine() {
  Close();
}

void DeviceLine::WriteText(const std::string& text) {
  if (text.ends_with("\r\n")) lastCommand_ = text.substr(0, text.size() - 2);
  if (const int written = dispatcher_->WriteBlock(text.data(), static_cast<DWORD>(text.size()));
      written < 0) {
    ser::RaiseResult(written);
  }
}

char DeviceLine::TakeChar() {
  BYTE c = 0;
  if (const int read = dispatcher_->ReadChar(c); read < 0) ser::RaiseResult(read);
  return static_cast<char>(c);
}

DWORD MillisecondsUntil(std::chrono::steady_clock::time_point when) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(when - std::chrono::steady_clock::now());
  return static_cast<DWORD>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

bool DeviceLine::Settle(HANDLE stop) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + kLongestSettle;
  settling_ = true;
  lastArrival_ = Clock::now();
  bool going = true;
  while (going) {
    const Clock::time_point until = std::min(lastArrival_ + kQuietBeforeStart, end);
    if (Clock::now() >= until) break;
    going = Serve(MillisecondsUntil(until), stop);
  }
  settling_ = false;
  return going;
}

bool DeviceLine::Serve(DWORD milliseconds, HANDLE stop) {
  const DWORD woken = MsgWaitForMultipleObjects(1, &stop, FALSE, milliseconds, QS_ALLINPUT);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  return woken != WAIT_OBJECT_0;
}

LRESULT DeviceLine::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != ser::kMsgAvail && message != ser::kMsgDeviceGone) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  DeviceLine* line = tLine;
  // Nothing may leave a window procedure: Serve raises it once it returns.
  if (line && line->window_ == window && !line->failure_) {
    try {
      line->Notified(message, wParam);
    } catch (...) {
      line->failure_ = std::current_exception();
    }
  }
  return 0;
}

void DeviceLine::Notified(UINT message, WPARAM wParam) {
  if (message == ser::kMsgDeviceGone) {
    events_.Gone(static_cast<DevicePresence>(wParam));
    return;
  }
  // A handler that ran past the delivery time-out may have taken some of the
  // characters announced: offer no more than can be taken now.
  const auto count = static_cast<WORD>(std::min<WPARAM>(wParam, dispatcher_->InputCount()));
  if (!settling_) {
    events_.Avail(count);
    return;
  }
  lastArrival_ = std::chrono::steady_clock::now();
  for (WORD i = 0; i < count; ++i) TakeChar();
}

std::string DeviceLine::Close() {
  if (!dispatcher_) return {};
  std::string error;
  const auto write = [&error](const std::string& name, int result) {
    if (result < 0 && error.empty()) {
      error = "cannot write " + name + ": " + ResultText(result);
    }
  };
  if (!recorders_.Trace.empty()) {
    dispatcher_->ResumeTrace();
    write(recorders_.Trace, dispatcher_->WriteTraceFile(recorders_.Trace, false, true, false));
  }
  if (!recorders_.Log.empty()) {
    dispatcher_->ResumeLog();
    write(recorders_.Log, dispatcher_->WriteLogFile(recorders_.Log, false, true, false));
  }
  // Notifications still on their way find no line to go to.
  tLine = nullptr;
  if (window_) dispatcher_->RemoveWindowTarget(window_);
  dispatcher_->CloseLine();
  dispatcher_.reset();
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
  return error;
}
