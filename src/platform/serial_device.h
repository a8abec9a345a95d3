// The object behind a serial device handle: the tty descriptor and everything
// the Win32-style calls keep about it. Every call holds a DeviceUse while it
// works; CloseHandle wakes the waits, aborts a pending write, waits for the
// calls still inside and only then restores and closes the tty.
#pragma once

#include <termios.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/handle_table.h"
#include "platform/interruptible_call.h"
#include "platform/line_events.h"
#include "platform/serial.h"

// The events a change of the modem lines or of the driver's counters gives.
constexpr DWORD kLineWatchEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_ERR | EV_BREAK;

class SerialDevice : public PlatformObject {
 public:
  SerialDevice(int fd, std::string path);
  ~SerialDevice() override;
  void Close() override;

  const int fd;
  const std::string path;
  // The COM number it was opened as: while the port map still leads there,
  // the device has not been removed. 0 for a device opened by its path,
  // which must lead there instead.
  unsigned comNumber = 0;
  // False when the descriptors the device needs could not be made.
  bool ready = false;
  // A pseudo-terminal slave: no modem lines, flow control of its own.
  bool pseudoTerminal = false;
  // Set at the open: the exclusive flag is this handle's to clear.
  bool ownsExclusive = false;
  // Set once the driver refused TIOCMGET: a driver without modem lines stays
  // so, and the dispatcher asks on every 50 ms pass.
  std::atomic<bool> noModemLines{false};
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
  // What the close has to undo: settings this handle changed (restored) and
  // output it wrote (flushed, so the close does not wait for a peer that
  // does not read). Another program's settings and output stay as they are.
  bool settingsChanged = false;
  bool wrote = false;
  COMMTIMEOUTS timeouts{};
  DWORD inQueue = 0;
  DWORD outQueue = 0;
  std::optional<termios> original;
  // Apart from `original`: tcsetattr cannot carry a rate outside the Bnnn table.
  std::optional<DWORD> originalRate;

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
  bool linesSupported = true;
  // What line changes are reported against (WaitCommEvent) and what line
  // errors are reported against (ClearCommError): separate, as Windows keeps
  // events and errors apart.
  LineSnapshot eventBase;
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
  // Reads the driver's line counters; nothing where it keeps none.
  std::optional<LineCounts> ReadCounts();
  // Reads the modem lines (TIOCM_* bits); nothing on a tty without them.
  std::optional<int> ReadLines();
  // Adds what changed on the lines since eventBase to pendingEvents and moves
  // eventBase on (mutex held); returns the events found. The modem lines are
  // read only with `readLines` and where the driver keeps no counters, as
  // reading them can cost a USB round trip.
  DWORD NoteLineChangesLocked(bool readLines);
  // Takes a fresh eventBase, so that older changes are not reported (mutex held).
  void RebaseLinesLocked();
  // Starts watching the modem lines when the mask asks for line events and the
  // tty has modem lines; at most once per device (mutex held).
  void StartLineWatchLocked();
  // Starts the background writer for `pending` (mutex held).
  bool StartWriterLocked();
  // Completes the pending write with `error` (mutex held).
  void FinishWriteLocked(DWORD error);

 private:
  void WriterLoop();
  void LineWatchLoop();
  // The watcher waits for a line change only when the mask asks for one and
  // the events it found last have been taken: however fast a line toggles,
  // it wakes no more often than the waits take events.
  bool LineWatchWantedLocked() const;

  int writerWakeFd_ = -1;
  bool writerStop_ = false;
  std::thread writer_;
  bool closed_ = false;

  bool lineWatchStop_ = false;
  // Counts the readings that found a change, whichever thread made them.
  std::uint64_t lineChanges_ = 0;
  InterruptibleCall lineWait_;
  std::thread lineWatcher_;
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
