#include "platform/serial_device.h"

#include <linux/serial.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/baud_rate.h"
#include "platform/errors.h"
#include "platform/sync.h"

namespace {

void Signal(int eventFd) {
  std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(eventFd, &one, sizeof one);
}

void Drain(int eventFd) {
  std::uint64_t value = 0;
  [[maybe_unused]] ssize_t n = read(eventFd, &value, sizeof value);
}

}  // namespace

SerialDevice::SerialDevice(int deviceFd, std::string devicePath)
    : fd(deviceFd), path(std::move(devicePath)) {
  wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  closeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  writerWakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  epollFd = epoll_create1(EPOLL_CLOEXEC);
  if (wakeFd < 0 || closeFd < 0 || writerWakeFd_ < 0 || epollFd < 0) return;
  // Edge-triggered: an arrival is one event however long its bytes stay
  // unread, so a reader that stops reading never turns the wait into a spin.
  epoll_event tty{};
  tty.events = EPOLLIN | EPOLLET;
  tty.data.fd = fd;
  epoll_event wake{};
  wake.events = EPOLLIN;
  wake.data.fd = wakeFd;
  ready = epoll_ctl(epollFd, EPOLL_CTL_ADD, fd, &tty) == 0 &&
          epoll_ctl(epollFd, EPOLL_CTL_ADD, wakeFd, &wake) == 0;
}

SerialDevice::~SerialDevice() {
  Close();
  for (int descriptor : {wakeFd, closeFd, writerWakeFd_, epollFd}) {
    if (descriptor >= 0) close(descriptor);
  }
}

void SerialDevice::Close() {
  std::unique_lock lock(mutex);
  if (closed_) return;
  closing = true;
  FinishWriteLocked(ERROR_OPERATION_ABORTED);
  writerStop_ = true;
  lineWatchStop_ = true;
  Signal(closeFd);
  Signal(writerWakeFd_);
  Signal(wakeFd);
  changed.notify_all();
  changed.wait(lock, [&] { return callsInside == 0; });
  closed_ = true;
  lock.unlock();
  if (writer_.joinable()) writer_.join();
  lineWait_.Stop();
  if (lineWatcher_.joinable()) lineWatcher_.join();
  // Settings, exclusive flag and queued output belong to the tty, not to
  // this descriptor: they outlive the close, and the tty may be another
  // program's too.
  if (wrote) tcflush(fd, TCOFLUSH);
  if (settingsChanged && original) tcsetattr(fd, TCSANOW, &*original);
  if (settingsChanged && originalRate && GetBaudRate(fd) != originalRate) {
    SetBaudRate(fd, *originalRate);
  }
  if (ownsExclusive) ioctl(fd, TIOCNXCL);
  close(fd);
}

void SerialDevice::NoteHangUpLocked() {
  hungUp = true;
  Wake();
  changed.notify_all();  // the line watcher stops on it
}

void SerialDevice::Wake() {
  Signal(wakeFd);
}

std::optional<LineCounts> SerialDevice::ReadCounts() {
  if (!countsSupported) return std::nullopt;
  serial_icounter_struct counts{};
  if (ioctl(fd, TIOCGICOUNT, &counts) != 0) {
    // Pseudo-terminals and some USB adapters keep no counters.
    if (errno == ENOTTY || errno == EINVAL) countsSupported = false;
    return std::nullopt;
  }
  return LineCounts{counts.frame, counts.parity, counts.overrun, counts.buf_overrun, counts.brk,
                    counts.cts,   counts.dsr,    counts.dcd,     counts.rng};
}

std::optional<int> SerialDevice::ReadLines() {
  if (!linesSupported) return std::nullopt;
  int lines = 0;
  if (ioctl(fd, TIOCMGET, &lines) != 0) {
    // Pseudo-terminals have no modem lines.
    if (errno == ENOTTY || errno == EINVAL) linesSupported = false;
    return std::nullopt;
  }
  return lines;
}

bool SerialDevice::StartWriterLocked() {
  if (!writer_.joinable()) {
    try {
      writer_ = std::thread([this] { WriterLoop(); });
    } catch (const std::system_error&) {
      return false;  // no thread to be had: the caller fails the write
    }
  }
  Signal(writerWakeFd_);
  changed.notify_all();
  return true;
}

void SerialDevice::FinishWriteLocked(DWORD error) {
  if (!pending) return;
  CompleteOverlapped(pending->overlapped, error, static_cast<DWORD>(pending->done));
  pending.reset();
  changed.notify_all();
}

void SerialDevice::WriterLoop() {
  for (;;) {
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return writerStop_ || pending; });
      if (writerStop_) return;
      // Written under the lock (the descriptor never blocks), so that once a
      // purge has taken the write away not one more byte of it goes out.
      ssize_t n =
          write(fd, pending->bytes.data() + pending->done, pending->bytes.size() - pending->done);
      if (n > 0) {
        pending->done += static_cast<size_t>(n);
        if (pending->done == pending->bytes.size()) FinishWriteLocked(ERROR_SUCCESS);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) {
        FinishWriteLocked(errno == EIO ? ERROR_DEVICE_NOT_CONNECTED : Win32ErrorFromErrno(errno));
        continue;
      }
    }
    pollfd waits[2] = {{fd, POLLOUT, 0}, {writerWakeFd_, POLLIN, 0}};
    poll(waits, 2, -1);
    if (waits[1].revents & POLLIN) Drain(writerWakeFd_);
  }
}

DeviceUse::DeviceUse(HANDLE handle) : device_(LookupHandleAs<SerialDevice>(handle)) {
  if (!device_) return;
  {
    std::lock_guard lock(device_->mutex);
    if (!device_->closing) {
      ++device_->callsInside;
      return;
    }
  }
  // Released outside the lock: this may be the last reference.
  device_.reset();
  SetLastError(ERROR_INVALID_HANDLE);
}

DeviceUse::~DeviceUse() {
  if (!device_) return;
  std::lock_guard lock(device_->mutex);
  if (--device_->callsInside == 0) device_->changed.notify_all();
}

void StartOverlapped(OVERLAPPED* overlapped) {
  if (overlapped == nullptr) return;
  overlapped->Internal = kStatusPending;
  overlapped->InternalHigh = 0;
  if (overlapped->hEvent != nullptr) ResetEvent(overlapped->hEvent);
}

void CompleteOverlapped(OVERLAPPED* overlapped, DWORD error, DWORD transferred) {
  if (overlapped == nullptr) return;
  overlapped->Internal = error;
  overlapped->InternalHigh = transferred;
  if (overlapped->hEvent != nullptr) SetEvent(overlapped->hEvent);
}
