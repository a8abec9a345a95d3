// The hidden window through which the dispatcher's notifications reach the
// port on the user-interface thread, and its window procedure.
#include <algorithm>

#include "gui/application.h"
#include "platform/errors.h"
#include "serial/dispatcher_table.h"
#include "serial/exceptions.h"
#include "serial/ui/com_port.h"
#include "serial/ui/thread_error_display.h"
#include "serial/ui/word_parts.h"

namespace {

constexpr char kWindowClass[] = "serComWindow";
constexpr int kWindowExtraBytes = 4;
constexpr int ecInternal = -1006;

}  // namespace

void TSerCustomComPort::SetupNotifyWindow(bool create) {
  if (!create) {
    if (!NotifyWindow) return;
    if (ActiveDispatcher) ActiveDispatcher->RemoveWindowTarget(NotifyWindow);
    DestroyWindow(NotifyWindow);
    NotifyWindow = nullptr;
    return;
  }
  // Registered once per process; a failure is retried at the next open.
  static const bool registered = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &TSerCustomComPort::NotifyWindowProc;
    windowClass.cbWndExtra = kWindowExtraBytes;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      throw ser::EInternal(ecInternal);
    }
    return true;
  }();
  (void)registered;
  NotifyWindow = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
  if (!NotifyWindow) throw ser::EInternal(ecInternal);
  ActiveDispatcher->AddWindowTarget(NotifyWindow);
  // The notifications wait for this thread's queue, which Qt's loop must serve.
  Application().ServeMessageQueue();
  ser::DisplayThreadErrors();
}

LRESULT TSerCustomComPort::NotifyWindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  switch (message) {
    case ser::kMsgAvail:
    case ser::kMsgDataMatch:
    case ser::kMsgTimer:
    case ser::kMsgStatus:
    case ser::kMsgDeviceGone:
    case ser::kMsgDeferredClose:
      break;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
  // Held until the handlers return, so the dispatcher cannot leave the table
  // (and its port cannot lose it) while they run.
  ser::TDispatcherTableLock tableLock;
  try {
    ser::TSerBaseDispatcher* dispatcher = ser::DispatcherAt(HighWord(lParam));
    if (dispatcher && dispatcher->Owner) {
      dispatcher->Owner->HandleNotification(message, wParam, lParam);
    }
  } catch (...) {
    // Nothing may leave a window procedure; on the main thread the user sees it.
    if (Application().OnMainThread()) Application().HandleException();
  }
  return 0;
}

void TSerCustomComPort::HandleNotification(UINT message, WPARAM wParam, LPARAM lParam) {
  // Not a trigger: no trigger event is raised for it.
  if (message == ser::kMsgDeviceGone) {
    DeviceGone();
    return;
  }
  // A handler that ran past the delivery time-out may have taken some of the
  // characters an avail message announced before this message was served:
  // announce no more than can be taken now.
  if (message == ser::kMsgAvail && ActiveDispatcher) {
    wParam = std::min<WPARAM>(wParam, ActiveDispatcher->InputCount());
  }
  const WORD value = static_cast<WORD>(wParam);
  const WORD data = message == ser::kMsgAvail ? value : LowWord(lParam);
  DoTrigger(static_cast<WORD>(message), value, data);
  switch (message) {
    case ser::kMsgAvail:
      DoTriggerAvail(value);
      return;
    case ser::kMsgDataMatch:
      DoTriggerData(value);
      return;
    case ser::kMsgTimer:
      DoTriggerTimer(value);
      return;
    case ser::kMsgStatus:
      DoTriggerStatus(value);
      switch (value & 7) {
        case ser::stModemStatus:
          DoTriggerModemStatus();
          return;
        case ser::stLineError: {
          WORD error = LineErrorValue();
          DoTriggerLineError(error, LineBreakValue());
          return;
        }
        case ser::stOutbuffFree:
          DoTriggerOutbuffFree();
          return;
        case ser::stOutbuffUsed:
          DoTriggerOutbuffUsed();
          return;
        case ser::stOutSent:
          DoTriggerOutSent();
          return;
        default:
          return;
      }
    case ser::kMsgDeferredClose:
      FinishDeferredClose(lParam);
      return;
  }
}
