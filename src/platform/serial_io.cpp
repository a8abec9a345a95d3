#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/errors.h"
#include "platform/serial_device.h"

namespace {

using Clock = std::chrono::steady_clock;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// One read that never waits. 0 bytes and a hang-up noted when the line is gone.
// -1 with errno for any other failure.
ssize_t ReadNow(SerialDevice& device, char* buffer, DWORD size) {
  ssize_t n = read(device.fd, buffer, size);
  if (n > 0) {
    std::lock_guard lock(device.mutex);
    DWORD got = static_cast<DWORD>(n);
    device.reportedInQueue -= std::min(got, device.reportedInQueue);
    return n;
  }
  if (n == 0 || errno == EIO) {
    // Readable but empty (or EIO): the other side hung up.
    std::lock_guard lock(device.mutex);
    device.NoteHangUpLocked();
    return 0;
  }
  if (errno == EAGAIN || errno == EINTR) return 0;
  return -1;
}

// Waits for `events` on the tty until the deadline or the close; false on close.
bool WaitTty(SerialDevice& device, short events, std::optional<Clock::time_point> deadline) {
  int timeout = -1;
  if (deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    timeout = left > 0 ? static_cast<int>(left) : 0;
  }
  pollfd waits[2] = {{device.fd, events, 0}, {device.closeFd, POLLIN, 0}};
  poll(waits, 2, timeout);
  return !(waits[1].revents & POLLIN);
}

DWORD WriteError(int err) {
  return err == EIO ? ERROR_DEVICE_NOT_CONNECTED : Win32ErrorFromErrno(err);
}

}  // namespace

// Time-outs: ReadIntervalTimeout MAXDWORD returns what has arrived (at once
// when the totals are 0, else as soon as anything arrives within them); the
// totals bound the whole read; other interval time-outs are not applied.
BOOL ReadFile(HANDLE handle, void* buffer, DWORD toRead, DWORD* read, OVERLAPPED* overlapped) {
  DeviceUse device(handle);
  if (!device) return FALSE;
  if (buffer == nullptr && toRead != 0) return Fail(ERROR_INVALID_PARAMETER);
  COMMTIMEOUTS timeouts;
  {
    std::lock_guard lock(device->mutex);
    timeouts = device->timeouts;
    StartOverlapped(overlapped);
  }
  const bool returnOnAny = timeouts.ReadIntervalTimeout == MAXDWORD;
  const DWORD total =
      timeouts.ReadTotalTimeoutMultiplier * toRead + timeouts.ReadTotalTimeoutConstant;
  std::optional<Clock::time_point> deadline;
  if (total != 0) {
    deadline = Clock::now() + std::chrono::milliseconds(total);
  } else if (returnOnAny) {
    deadline = Clock::now();
  }
  char* bytes = static_cast<char*>(buffer);
  DWORD got = 0;
  DWORD error = ERROR_SUCCESS;
  while (got < toRead) {
    ssize_t n = ReadNow(*device, bytes + got, toRead - got);
    if (n < 0) {
      error = Win32ErrorFromErrno(errno);
      break;
    }
    got += static_cast<DWORD>(n);
    bool hungUp;
    {
      std::lock_guard lock(device->mutex);
      hungUp = device->hungUp;
    }
    if (got == toRead || hungUp || (returnOnAny && got > 0)) break;
    if (deadline && Clock::now() >= *deadline) break;
    if (!WaitTty(*device, POLLIN, deadline)) {
      error = ERROR_OPERATION_ABORTED;
      break;
    }
  }
  if (read != nullptr) *read = got;
  std::lock_guard lock(device->mutex);
  CompleteOverlapped(overlapped, error, got);
  return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD toWrite, DWORD* written,
               OVERLAPPED* overlapped) {
  DeviceUse device(handle);
  if (!device) return FALSE;
  if (written != nullptr) *written = 0;
  if (buffer == nullptr && toWrite != 0) return Fail(ERROR_INVALID_PARAMETER);
  const char* bytes = static_cast<const char*>(buffer);
  std::unique_lock lock(device->mutex);
  // A close that came in since the call began has already aborted the pending
  // write; one started now would never be completed.
  if (device->closing) return Fail(ERROR_OPERATION_ABORTED);
  if (device->pending) return Fail(ERROR_INVALID_PARAMETER);  // one write at a time
  if (toWrite > 0) device->wrote = true;
  StartOverlapped(overlapped);
  DWORD done = 0;
  for (;;) {
    ssize_t n = toWrite > done ? write(device->fd, bytes + done, toWrite - done) : 0;
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      DWORD error = WriteError(errno);
      if (overlapped != nullptr) overlapped->Internal = error;
      return Fail(error);
    }
    if (n > 0) done += static_cast<DWORD>(n);
    if (done == toWrite) {
      if (written != nullptr) *written = done;
      CompleteOverlapped(overlapped, ERROR_SUCCESS, done);
      return TRUE;
    }
    if (overlapped != nullptr) break;
    // A caller without an overlapped record waits for the device.
    lock.unlock();
    bool open = WaitTty(*device, POLLOUT, std::nullopt);
    lock.lock();
    if (!open) return Fail(ERROR_OPERATION_ABORTED);
  }
  SerialDevice::PendingWrite rest;
  rest.bytes.assign(bytes, bytes + toWrite);
  rest.done = done;
  rest.overlapped = overlapped;
  device->pending = std::move(rest);
  if (!device->StartWriterLocked()) {
    device->pending.reset();
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  return Fail(ERROR_IO_PENDING);
}

BOOL GetOverlappedResult(HANDLE handle, OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) {
  DeviceUse device(handle);
  if (!device) return FALSE;
  if (overlapped == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::unique_lock lock(device->mutex);
  auto running = [&] { return device->pending && device->pending->overlapped == overlapped; };
  if (wait) device->changed.wait(lock, [&] { return !running(); });
  if (running() || overlapped->Internal == kStatusPending) return Fail(ERROR_IO_INCOMPLETE);
  if (transferred != nullptr) *transferred = static_cast<DWORD>(overlapped->InternalHigh);
  if (overlapped->Internal != ERROR_SUCCESS) return Fail(static_cast<DWORD>(overlapped->Internal));
  return TRUE;
}

BOOL PurgeComm(HANDLE handle, DWORD flags) {
  DeviceUse device(handle);
  if (!device) return FALSE;
  if (flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  std::lock_guard lock(device->mutex);
  if (flags & PURGE_TXABORT) device->FinishWriteLocked(ERROR_OPERATION_ABORTED);
  // A hung-up tty has nothing left to flush (EIO): that is not a failure.
  if ((flags & PURGE_TXCLEAR) && tcflush(device->fd, TCOFLUSH) != 0 && errno != EIO) {
    return Fail(Win32ErrorFromErrno(errno));
  }
  if (flags & PURGE_RXCLEAR) {
    if (tcflush(device->fd, TCIFLUSH) != 0 && errno != EIO) return Fail(Win32ErrorFromErrno(errno));
    device->pendingEvents &= ~EV_RXCHAR;
    device->reportedInQueue = 0;
  }
  return TRUE;
}

BOOL ClearCommError(HANDLE handle, DWORD* errors, COMSTAT* status) {
  DeviceUse device(handle);
  if (!device) return FALSE;
  std::lock_guard lock(device->mutex);
  DWORD flags = 0;
  if (auto counts = device->ReadCounts()) {
    const LineCounts& before = device->errorBase;
    if (counts->frame != before.frame) flags |= CE_FRAME;
    if (counts->parity != before.parity) flags |= CE_RXPARITY;
    if (counts->overrun != before.overrun) flags |= CE_OVERRUN;
    if (counts->bufferOverrun != before.bufferOverrun) flags |= CE_RXOVER;
    if (counts->breaks != before.breaks) flags |= CE_BREAK;
    device->errorBase = *counts;
  }
  if (errors != nullptr) *errors = flags;
  if (status != nullptr) {
    std::memset(status, 0, sizeof *status);
    int inQueue = 0;
    int outQueue = 0;
    // A hung-up tty answers EIO: nothing to read, nothing to send.
    if (ioctl(device->fd, FIONREAD, &inQueue) != 0) inQueue = 0;
    if (ioctl(device->fd, TIOCOUTQ, &outQueue) != 0) outQueue = 0;
    size_t rest = device->pending ? device->pending->bytes.size() - device->pending->done : 0;
    status->cbInQue = static_cast<DWORD>(inQueue);
    status->cbOutQue = static_cast<DWORD>(outQueue) + static_cast<DWORD>(rest);
  }
  return TRUE;
}
