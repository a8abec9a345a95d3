#include "serial/win32_dispatcher.h"

#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "platform/errors.h"
#include "serial/section_hold.h"
#include "serial/thread_class.h"

namespace ser {

namespace {

int LastErrorCode() {
  DWORD error = GetLastError();
  return error == ERROR_SUCCESS ? -1 : -static_cast<int>(error);
}

}  // namespace

TSerWin32Dispatcher::TSerWin32Dispatcher(TSerCustomComPort* owner) : TSerBaseDispatcher(owner) {}

TSerWin32Dispatcher::~TSerWin32Dispatcher() {
  Shutdown();
}

void TSerWin32Dispatcher::Shutdown() {
  if (Closing) {
    ReleaseLine();
  } else {
    CloseLine();
  }
  WaitAllThreadsEnded();
}

int TSerWin32Dispatcher::DeviceEscape(DWORD code) {
  std::shared_lock<std::shared_mutex> device(DeviceLock);
  return EscapeCommFunction(DeviceHandle.load(), code) ? 0 : LastErrorCode();
}

int TSerWin32Dispatcher::PurgeDevice(int which) {
  DWORD flags = which == 0 ? PURGE_TXABORT | PURGE_TXCLEAR : PURGE_RXABORT | PURGE_RXCLEAR;
  std::shared_lock<std::shared_mutex> device(DeviceLock);
  return PurgeComm(DeviceHandle.load(), flags) ? 0 : LastErrorCode();
}

DWORD TSerWin32Dispatcher::ReadDeviceStatus(TSerDeviceStatus& status) {
  DWORD errors = 0;
  COMSTAT comStat{};
  {
    std::shared_lock<std::shared_mutex> device(DeviceLock);
    HANDLE h = DeviceHandle.load();
    if (h == INVALID_HANDLE_VALUE || !ClearCommError(h, &errors, &comStat)) errors = 0;
  }
  status.Errors = errors;
  status.InCount = comStat.cbInQue;
  SectionHold hold(OutputLock);
  if (OutFull) {
    status.OutCount = OutSize;
  } else {
    status.OutCount = OutHead >= OutTail ? OutHead - OutTail : OutHead + OutSize - OutTail;
  }
  DeviceStatus = status;
  return errors;
}

void TSerWin32Dispatcher::NoteReadFailure(int) {}

int TSerWin32Dispatcher::ReadDeviceSettings(DCB& settings) {
  std::shared_lock<std::shared_mutex> device(DeviceLock);
  return GetCommState(DeviceHandle.load(), &settings) ? 0 : -1;
}

int TSerWin32Dispatcher::ReadDevice(void* buffer, DWORD size) {
  std::shared_lock<std::shared_mutex> device(DeviceLock);
  HANDLE h = DeviceHandle.load();
  if (h == INVALID_HANDLE_VALUE) return -1;
  OVERLAPPED overlapped{};
  overlapped.hEvent = ReadEvent;
  DWORD read = 0;
  if (!ReadFile(h, buffer, size, &read, &overlapped)) {
    if (GetLastError() != ERROR_IO_PENDING) return -1;
    // Not expected with the read time-outs set to return at once.
    if (!GetOverlappedResult(h, &overlapped, &read, TRUE)) return -1;
    ResetEvent(ReadEvent);
  }
  return static_cast<int>(read);
}

int TSerWin32Dispatcher::WriteDeviceSettings(const DCB& settings) {
  std::shared_lock<std::shared_mutex> device(DeviceLock);
  return SetCommState(DeviceHandle.load(), &settings) ? 0 : LastErrorCode();
}

int TSerWin32Dispatcher::QueueOutput(const void* data, DWORD count) {
  {
    SectionHold hold(OutputLock);
    if (OutBuf.empty()) return 0;
    const BYTE* bytes = static_cast<const BYTE*>(data);
    DWORD first = std::min(count, OutSize - OutHead);
    std::memcpy(&OutBuf[OutHead], bytes, first);
    if (count > first) std::memcpy(&OutBuf[0], bytes + first, count - first);
    OutHead = (OutHead + count) % OutSize;
  }
  Signal(OutputEvent);
  return static_cast<int>(count);
}

bool TSerWin32Dispatcher::WaitDeviceEvent(DWORD& mask, OVERLAPPED& overlapped) {
  std::shared_lock<std::shared_mutex> device(DeviceLock);
  return WaitCommEvent(DeviceHandle.load(), &mask, &overlapped) != FALSE;
}

bool TSerWin32Dispatcher::SizeDeviceQueues(DWORD inSize, DWORD outSize) {
  std::shared_lock<std::shared_mutex> device(DeviceLock);
  return SetupComm(DeviceHandle.load(), inSize, outSize) != FALSE;
}

int TSerWin32Dispatcher::OpenDevice(const std::string& name, DWORD, DWORD) {
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  ReadEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (ReadEvent == nullptr) {
    CloseHandle(h);
    return -8;
  }
  DeviceHandle = h;
  return 0;
}

// The event and output threads end before the handle goes (they need
// nothing of the caller, so this never waits on a delivery); the dispatch
// thread's device calls hold DeviceLock, which the close takes exclusively.
int TSerWin32Dispatcher::CloseDevice() {
  if (ThreadsRunning) {
    StopRequested = true;
    {
      std::shared_lock<std::shared_mutex> device(DeviceLock);
      SetCommMask(DeviceHandle.load(), 0);
    }
    Signal(ReadyEvent);
    Reset(GeneralEvent);
    EndDeviceThreads();
  }
  std::unique_lock<std::shared_mutex> device(DeviceLock);
  if (ReadEvent != nullptr) {
    CloseHandle(ReadEvent);
    ReadEvent = nullptr;
  }
  HANDLE h = DeviceHandle.exchange(INVALID_HANDLE_VALUE);
  if (h == INVALID_HANDLE_VALUE || !CloseHandle(h)) return -1;
  return 0;
}

DevicePresence TSerWin32Dispatcher::ReadDevicePresence() {
  std::shared_lock<std::shared_mutex> device(DeviceLock);
  return GetDevicePresence(DeviceHandle.load());
}

int TSerWin32Dispatcher::YieldSlice() {
  Sleep(0);
  return 0;
}

}  // namespace ser
