// The object behind a serial device handle: the tty descriptor and everything
// the Win32-style calls keep about it. Every call holds a DeviceUse while it
// works; CloseHandle wakes the waits, aborts a pending write, waits for the
// calls still inside and only then restores and closes the tty.
#pragma once

#include <termios.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/handle_table.h"
#include "platform/serial.h"

// Line error counters of the driver (TIOCGICOUNT), where it keeps them.
struct LineCounts {
  int frame = 0;
  int parity = 0;
  int overrun = 0;
  int bufferOverrun = 0;
  int breaks = 0;
};

class SerialDevice : public PlatformObject {
 public:
  SerialDevice(int fd, std::string path);
  ~SerialDevice() override;
  void Close() override;

  const int fd;
  const std::string path;
  // False when the descriptors the device needs could not be made.
  bool ready = false;
  // Readable while waits must look again (mask changed, close, hang-up seen).
  int wakeFd = -1;
  // Readable once the device is closing; never reset.
  int closeFd = -1;
  // epoll set of the tty (edge-triggered) and wakeFd, used by WaitCommEvent.
  int epollFd = -1;

  std::mutex mutex;  // guards everything below
  std::condition_variable changed;
  bool closing = false;
  int callsInside = 0;

  DCB dcb{};
  COMMTIMEOUTS timeouts{};
  DWORD inQueue = 0;
  DWORD outQueue = 0;
  std::optional<termios> original;

  DWORD mask = 0;
  std::uint64_t maskGeneration = 0;
  bool waiting = false;
  DWORD pendingEvents = 0;
  // Bytes in the driver already reported as EV_RXCHAR (less what was read
  // since): an arrival is reported only when the driver holds more. The
  // tty wakes epoll for other reasons too, so readiness alone is no arrival.
  DWORD reportedInQueue = 0;
  bool hungUp = false;
  bool hangUpReported = false;
  bool countsSupported = true;
  LineCounts eventBase;
  LineCounts errorBase;

  struct PendingWrite {
    std::vector<char> bytes;
    size_t done = 0;
    OVERLAPPED* overlapped = nullptr;
  };
  std::optional<PendingWrite> pending;

  // Marks a hang-up and wakes the waits (mutex held).
  void NoteHangUpLocked();
  // Wakes WaitCommEvent (any thread).
  void Wake();
  // Reads the driver's line error counters; nothing where it keeps none.
  std::optional<LineCounts> ReadCounts();
  // Starts the background writer for `pending` (mutex held).
  void StartWriterLocked();
  // Completes the pending write with `error` (mutex held).
  void FinishWriteLocked(DWORD error);

 private:
  void WriterLoop();

  int writerWakeFd_ = -1;
  bool writerStop_ = false;
  std::thread writer_;
  bool closed_ = false;
};

// Holds a device for the length of one call; empty when the handle is not an
// open device (last error ERROR_INVALID_HANDLE).
class DeviceUse {
 public:
  explicit DeviceUse(HANDLE handle);
  ~DeviceUse();
  DeviceUse(const DeviceUse&) = delete;
  DeviceUse& operator=(const DeviceUse&) = delete;

  explicit operator bool() const { return device_ != nullptr; }
  SerialDevice* operator->() const { return device_.get(); }
  SerialDevice& operator*() const { return *device_; }

 private:
  std::shared_ptr<SerialDevice> device_;
};

// Sets an overlapped record's outcome and signals its event, as Windows does
// for any overlapped operation that completes (mutex of the device held).
void CompleteOverlapped(OVERLAPPED* overlapped, DWORD error, DWORD transferred);
// Marks an overlapped operation as started: its event is reset.
void StartOverlapped(OVERLAPPED* overlapped);

constexpr DWORD_PTR kStatusPending = 0x103;

// Raises or drops a modem line (TIOCM_DTR, TIOCM_RTS). A tty without modem
// lines (a pseudo-terminal) takes it without effect. ERROR_SUCCESS or an error.
DWORD DriveModemLine(int fd, int line, bool on);
