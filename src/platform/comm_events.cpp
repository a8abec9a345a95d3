#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/errors.h"
#include "platform/serial_device.h"

namespace {

// What the tty's readiness means (device mutex held).
void NoteTtyReadiness(SerialDevice& device, std::uint32_t readiness) {
  if (readiness & (EPOLLHUP | EPOLLERR)) {
    device.NoteHangUpLocked();
    return;
  }
  if (readiness & EPOLLIN) {
    int count = 0;
    if (ioctl(device.fd, FIONREAD, &count) != 0) {
      if (errno == EIO) device.NoteHangUpLocked();
    } else if (static_cast<DWORD>(count) > device.reportedInQueue) {
      device.pendingEvents |= EV_RXCHAR;
      device.reportedInQueue = static_cast<DWORD>(count);
    } else if (static_cast<DWORD>(count) < device.reportedInQueue) {
      device.reportedInQueue = static_cast<DWORD>(count);
    }
  }
  // Line errors and breaks arrive with the data; the driver's counters tell
  // them (and any modem-line change they caught) apart.
  device.NoteLineChangesLocked(false);
}

}  // namespace

BOOL SetCommMask(HANDLE handle, DWORD mask) {
  DeviceUse device(handle);
  if (!device) return FALSE;
  std::lock_guard lock(device->mutex);
  device->mask = mask;
  ++device->maskGeneration;
  device->pendingEvents = 0;
  // Bytes that wait unread are announced again at the next arrival.
  device->reportedInQueue = 0;
  device->RebaseLinesLocked();
  device->StartLineWatchLocked();
  device->Wake();
  device->changed.notify_all();
  return TRUE;
}

BOOL GetCommMask(HANDLE handle, DWORD* mask) {
  DeviceUse device(handle);
  if (!device) return FALSE;
  if (mask == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard lock(device->mutex);
  *mask = device->mask;
  return TRUE;
}

// Completes synchronously: blocks until an event of the mask, a mask change
// (mask 0 reported) or the close (ERROR_OPERATION_ABORTED). A mask of 0 simply
// waits for the next change, so a caller looping on it cannot spin.
BOOL WaitCommEvent(HANDLE handle, DWORD* eventMask, OVERLAPPED* overlapped) {
  DeviceUse device(handle);
  if (!device) return FALSE;
  std::unique_lock lock(device->mutex);
  if (eventMask == nullptr || device->waiting) {
    SetLastError(ERROR_INVALID_PARAMETER);  // one wait at a time
    return FALSE;
  }
  device->waiting = true;
  StartOverlapped(overlapped);
  const std::uint64_t generation = device->maskGeneration;
  DWORD error = ERROR_SUCCESS;
  DWORD events = 0;
  for (;;) {
    if (device->closing) {
      error = ERROR_OPERATION_ABORTED;
      break;
    }
    if (generation != device->maskGeneration) break;
    if (device->hungUp && !device->hangUpReported) {
      // Reported once; the tty then leaves the wait set, so a dead line
      // cannot wake it again.
      device->hangUpReported = true;
      epoll_ctl(device->epollFd, EPOLL_CTL_DEL, device->fd, nullptr);
      device->pendingEvents |= EV_ERR;
    }
    events = device->pendingEvents & device->mask;
    if (events != 0) {
      device->pendingEvents &= ~events;
      device->changed.notify_all();  // the line watcher waits for its events to be taken
      break;
    }
    lock.unlock();
    epoll_event ready[2];
    int count = epoll_wait(device->epollFd, ready, 2, -1);
    lock.lock();
    for (int i = 0; i < count; ++i) {
      if (ready[i].data.fd == device->wakeFd) {
        std::uint64_t value = 0;
        [[maybe_unused]] ssize_t n = read(device->wakeFd, &value, sizeof value);
      } else {
        NoteTtyReadiness(*device, ready[i].events);
      }
    }
  }
  device->waiting = false;
  CompleteOverlapped(overlapped, error, 0);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  *eventMask = events;
  return TRUE;
}
