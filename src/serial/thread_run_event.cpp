// The event thread: waits for device events and hands each to the dispatch
// thread, then waits until that thread's pass is done.
#include "platform/errors.h"
#include "serial/win32_dispatcher.h"

namespace ser {

namespace {

constexpr DWORD kEventMask = 0x1F9;  // RXCHAR, CTS, DSR, RLSD, BREAK, ERR, RING
constexpr DWORD kRingTrailingEdge = 0x2000;

}  // namespace

void TSerWin32Dispatcher::RunEventThread() {
  HANDLE own = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  OVERLAPPED overlapped{};
  overlapped.hEvent = own;
  {
    std::shared_lock<std::shared_mutex> device(DeviceLock);
    HANDLE h = DeviceHandle.load();
    SetCommMask(h, kEventMask);
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    SetCommTimeouts(h, &timeouts);
  }
  Signal(GeneralEvent);
  while (own != nullptr) {
    DWORD mask = 0;
    if (!WaitDeviceEvent(mask, overlapped)) {
      // Anything but a pending wait ends the thread rather than retrying at
      // once: the dispatch thread's 50 ms passes still read the device.
      if (GetLastError() != ERROR_IO_PENDING ||
          WaitForSingleObject(own, INFINITE) != WAIT_OBJECT_0) {
        Signal(GeneralEvent);
        break;
      }
      ResetEvent(own);
      DWORD unused = 0;
      std::shared_lock<std::shared_mutex> device(DeviceLock);
      GetOverlappedResult(DeviceHandle.load(), &overlapped, &unused, FALSE);
    }
    EventMask = mask;
    if (mask & (kRingTrailingEdge | EV_RING)) RingLatched = true;
    if (StopRequested) {
      Signal(GeneralEvent);
      break;
    }
    Signal(ComEvent);
    WaitForSingleObject(ReadyEvent.load(), INFINITE);
    if (StopRequested) {
      Signal(GeneralEvent);
      break;
    }
  }
  if (own != nullptr) CloseHandle(own);
}

}  // namespace ser
