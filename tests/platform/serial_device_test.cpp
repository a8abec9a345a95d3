// The serial device calls over a real pseudo-terminal: the test plays the
// peer on the master side.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/baud_rate.h"
#include "platform/platform.h"
#include "support/open_com.h"
#include "support/port_folder.h"
#include "support/pty_pair.h"

namespace {

using namespace std::chrono_literals;
using morvel::test::OpenCom;
using morvel::test::PortFolder;
using morvel::test::PtyPair;

constexpr unsigned kPort = 3;

struct WaitResult {
  BOOL ok;
  DWORD mask;
  DWORD error;
};

std::future<WaitResult> StartWait(HANDLE device) {
  return std::async(std::launch::async, [device] {
    DWORD mask = 0xFFFF;
    BOOL ok = WaitCommEvent(device, &mask, nullptr);
    return WaitResult{ok, mask, GetLastError()};
  });
}

// Sets the slave's settings as the program before left them.
void LeaveSettings(const PtyPair& pty, void (*change)(termios&)) {
  termios settings{};
  ASSERT_EQ(tcgetattr(pty.MasterFd(), &settings), 0);
  change(settings);
  ASSERT_EQ(tcsetattr(pty.MasterFd(), TCSANOW, &settings), 0);
}

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

class SerialDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ports_.Link(kPort, pty_.SlavePath());
    device_ = OpenCom(kPort);
    ASSERT_NE(device_, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(device_, &timeouts));
  }
  void TearDown() override {
    if (device_ != INVALID_HANDLE_VALUE) CloseHandle(device_);
  }
  // A pending wait that did not end in time is released, so no test hangs.
  WaitResult Finish(std::future<WaitResult>& wait) {
    if (wait.wait_for(5s) != std::future_status::ready) {
      ADD_FAILURE() << "WaitCommEvent did not return";
      SetCommMask(device_, 0);
    }
    return wait.get();
  }
  std::string ReadAll() {
    char buffer[8192];
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(device_, buffer, sizeof buffer, &got, nullptr));
    return std::string(buffer, got);
  }
  termios SlaveSettings() {
    termios settings{};
    // Mode ioctls on the master act on the slave's settings.
    EXPECT_EQ(tcgetattr(pty_.MasterFd(), &settings), 0);
    return settings;
  }

  PtyPair pty_;
  PortFolder ports_;
  HANDLE device_ = INVALID_HANDLE_VALUE;
};

// An overlapped write whose event and record live as long as the object.
struct OverlappedWrite {
  OverlappedWrite() { overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
  ~OverlappedWrite() { CloseHandle(overlapped.hEvent); }
  OverlappedWrite(const OverlappedWrite&) = delete;
  OverlappedWrite& operator=(const OverlappedWrite&) = delete;

  // True when the write of `block` went pending, as one the pty cannot take
  // at once must.
  bool StartPending(HANDLE device, const std::string& block) {
    DWORD written = 0;
    return !WriteFile(device, block.data(), static_cast<DWORD>(block.size()), &written,
                      &overlapped) &&
           GetLastError() == ERROR_IO_PENDING;
  }

  OVERLAPPED overlapped{};
};

// A pseudo-terminal keeps every setting but the character format, which it
// forces to 8 bits without parity.
TEST_F(SerialDeviceTest, SettingsRoundTripThroughTermios) {
  DCB dcb{};
  ASSERT_TRUE(GetCommState(device_, &dcb));
  dcb.BaudRate = 19200;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = TWOSTOPBITS;
  dcb.fOutX = 1;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  dcb.XonLim = 409;
  dcb.XoffLim = 410;
  ASSERT_TRUE(SetCommState(device_, &dcb)) << GetLastError();

  termios settings = SlaveSettings();
  EXPECT_EQ(cfgetospeed(&settings), B19200);
  EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_FALSE(settings.c_cflag & PARENB);
  EXPECT_TRUE(settings.c_cflag & CSTOPB);
  EXPECT_TRUE(settings.c_iflag & IXON);
  EXPECT_EQ(settings.c_cc[VSTART], 0x11);
  EXPECT_EQ(settings.c_cc[VSTOP], 0x13);
  EXPECT_FALSE(settings.c_lflag & (ECHO | ICANON));

  // What termios has no place for comes back as it was set.
  DCB back{};
  ASSERT_TRUE(GetCommState(device_, &back));
  EXPECT_EQ(back.XonLim, 409);
  EXPECT_EQ(back.XoffLim, 410);
  EXPECT_EQ(back.StopBits, TWOSTOPBITS);
  EXPECT_EQ(back.BaudRate, 19200u);

  dcb.StopBits = ONESTOPBIT;
  dcb.fOutX = 0;
  ASSERT_TRUE(SetCommState(device_, &dcb));
  settings = SlaveSettings();
  EXPECT_FALSE(settings.c_cflag & CSTOPB);
  EXPECT_FALSE(settings.c_iflag & IXON);
}

// Flow control is in force or refused, never reported while nothing enforces
// it: Linux has RTS/CTS only as a pair and no DSR or DTR flow, and a
// pseudo-terminal has no modem lines and sends no XOFF of its own.
TEST_F(SerialDeviceTest, FlowControlIsEnforcedOrRefused) {
  DCB plain{};
  ASSERT_TRUE(GetCommState(device_, &plain));
  struct Case {
    const char* what;
    void (*set)(DCB&);
  };
  const Case refused[] = {
      {"RTS handshake alone", [](DCB& d) { d.fRtsControl = RTS_CONTROL_HANDSHAKE; }},
      {"CTS output flow alone", [](DCB& d) { d.fOutxCtsFlow = 1; }},
      {"RTS/CTS on a pseudo-terminal",
       [](DCB& d) {
         d.fRtsControl = RTS_CONTROL_HANDSHAKE;
         d.fOutxCtsFlow = 1;
       }},
      {"DSR output flow", [](DCB& d) { d.fOutxDsrFlow = 1; }},
      {"DTR handshake", [](DCB& d) { d.fDtrControl = DTR_CONTROL_HANDSHAKE; }},
      {"XOFF sent on receive, on a pseudo-terminal", [](DCB& d) { d.fInX = 1; }},
  };
  const termios before = SlaveSettings();
  for (const Case& c : refused) {
    DCB dcb = plain;
    c.set(dcb);
    SetLastError(0);
    EXPECT_FALSE(SetCommState(device_, &dcb)) << c.what;
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED) << c.what;
    DCB kept{};
    ASSERT_TRUE(GetCommState(device_, &kept));
    EXPECT_FALSE(kept.fOutxCtsFlow || kept.fOutxDsrFlow || kept.fInX) << c.what;
    EXPECT_EQ(kept.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE)) << c.what;
    EXPECT_EQ(kept.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE)) << c.what;
    EXPECT_EQ(SlaveSettings().c_cflag, before.c_cflag) << c.what;
    EXPECT_EQ(SlaveSettings().c_iflag, before.c_iflag) << c.what;
  }

  // XON/XOFF on transmit is honoured: an XOFF from the peer holds the output.
  DCB outX = plain;
  outX.fOutX = 1;
  outX.XonChar = 0x11;
  outX.XoffChar = 0x13;
  ASSERT_TRUE(SetCommState(device_, &outX)) << GetLastError();
  // The XOFF itself is flow control, not data; the byte after it shows that
  // it has been taken.
  ASSERT_TRUE(SetCommMask(device_, EV_RXCHAR));
  auto arrival = StartWait(device_);
  pty_.Write("\x13x");
  ASSERT_EQ(Finish(arrival).mask, EV_RXCHAR);
  EXPECT_EQ(ReadAll(), "x");
  DWORD written = 0;
  OverlappedWrite write;
  EXPECT_FALSE(WriteFile(device_, "held", 4, &written, &write.overlapped));
  EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
  EXPECT_EQ(pty_.ReadAvailable(100ms), "");
  pty_.Write("\x11");
  EXPECT_EQ(pty_.ReadExactly(4), "held");
}

TEST_F(SerialDeviceTest, SettingsTheDriverTookOnlyInPartAreRefused) {
  DCB dcb{};
  ASSERT_TRUE(GetCommState(device_, &dcb));
  dcb.BaudRate = 9600;
  ASSERT_TRUE(SetCommState(device_, &dcb));
  termios before = SlaveSettings();

  for (BYTE parity : {ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY}) {
    DCB partial = dcb;
    partial.BaudRate = 38400;
    partial.Parity = parity;
    SetLastError(0);
    EXPECT_FALSE(SetCommState(device_, &partial)) << int(parity);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  DCB partial = dcb;
  partial.ByteSize = 7;
  EXPECT_FALSE(SetCommState(device_, &partial));

  termios after = SlaveSettings();
  EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  DCB kept{};
  ASSERT_TRUE(GetCommState(device_, &kept));
  EXPECT_EQ(kept.BaudRate, 9600u);
  EXPECT_EQ(kept.ByteSize, 8);
  EXPECT_EQ(kept.Parity, NOPARITY);
}

TEST_F(SerialDeviceTest, RateOutsideTheTermiosTableIsSetExactly) {
  DCB dcb{};
  ASSERT_TRUE(GetCommState(device_, &dcb));
  for (DWORD baud : {250000u, 100000u, 31250u, 115200u}) {
    dcb.BaudRate = baud;
    ASSERT_TRUE(SetCommState(device_, &dcb)) << baud;
    EXPECT_EQ(GetBaudRate(pty_.MasterFd()), baud);
  }
}

TEST_F(SerialDeviceTest, RejectedSettingsLeaveTheDeviceAsItWas) {
  DCB dcb{};
  ASSERT_TRUE(GetCommState(device_, &dcb));
  dcb.BaudRate = 9600;
  ASSERT_TRUE(SetCommState(device_, &dcb));
  termios before = SlaveSettings();

  DCB bad = dcb;
  bad.BaudRate = 38400;
  bad.ByteSize = 9;
  SetLastError(0);
  EXPECT_FALSE(SetCommState(device_, &bad));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  bad = dcb;
  bad.Parity = 7;
  EXPECT_FALSE(SetCommState(device_, &bad));
  bad = dcb;
  bad.fOutX = 1;
  bad.XonChar = bad.XoffChar = 0x11;
  EXPECT_FALSE(SetCommState(device_, &bad));
  // One and a half stop bits exist only for five data bits.
  for (BYTE size : {6, 7, 8}) {
    bad = dcb;
    bad.ByteSize = size;
    bad.StopBits = ONE5STOPBITS;
    SetLastError(0);
    EXPECT_FALSE(SetCommState(device_, &bad)) << int(size);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }

  termios after = SlaveSettings();
  EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  DCB kept{};
  ASSERT_TRUE(GetCommState(device_, &kept));
  EXPECT_EQ(kept.BaudRate, 9600u);
  EXPECT_EQ(kept.ByteSize, dcb.ByteSize);
  EXPECT_EQ(kept.StopBits, dcb.StopBits);
}

// What the program before left in the input flags does not survive the open:
// bytes arrive as they came, whatever fParity says.
TEST(SerialDeviceOpen, InputFlagsComeFromTheSettingsAlone) {
  PtyPair pty;
  PortFolder ports;
  ports.Link(kPort, pty.SlavePath());
  LeaveSettings(pty, [](termios& left) {
    left.c_iflag |= IGNPAR | INPCK | PARMRK | BRKINT | ISTRIP | IXANY | IUCLC | ICRNL;
  });

  HANDLE device = OpenCom(kPort);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  termios opened{};
  ASSERT_EQ(tcgetattr(pty.MasterFd(), &opened), 0);
  EXPECT_EQ(opened.c_iflag, static_cast<tcflag_t>(IGNBRK));
  DCB dcb{};
  ASSERT_TRUE(GetCommState(device, &dcb));
  EXPECT_EQ(dcb.fParity, 0u);
  dcb.fParity = 1;
  ASSERT_TRUE(SetCommState(device, &dcb));
  ASSERT_EQ(tcgetattr(pty.MasterFd(), &opened), 0);
  EXPECT_EQ(opened.c_iflag, static_cast<tcflag_t>(IGNBRK));

  const std::string bytes(
      "\x00\xff\x7f\x80\xc1"
      "A\r\x11\x13",
      9);
  pty.Write(bytes);
  COMMTIMEOUTS timeouts{0, 0, 2000, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(device, &timeouts));
  char got[16] = {};
  DWORD read = 0;
  ASSERT_TRUE(ReadFile(device, got, static_cast<DWORD>(bytes.size()), &read, nullptr));
  EXPECT_EQ(std::string(got, read), bytes);
  CloseHandle(device);
}

TEST(SerialDeviceOpen, OriginalSettingsComeBackOnClose) {
  PtyPair pty;
  PortFolder ports;
  ports.Link(kPort, pty.SlavePath());
  LeaveSettings(pty, [](termios& original) {
    original.c_lflag |= ECHO | ICANON;
    cfsetspeed(&original, B2400);
  });

  HANDLE device = OpenCom(kPort);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  termios raw{};
  ASSERT_EQ(tcgetattr(pty.MasterFd(), &raw), 0);
  EXPECT_FALSE(raw.c_lflag & (ECHO | ICANON)) << "a serial port does not echo";
  DCB dcb{};
  ASSERT_TRUE(GetCommState(device, &dcb));
  EXPECT_EQ(dcb.BaudRate, 2400u);
  dcb.BaudRate = 57600;
  ASSERT_TRUE(SetCommState(device, &dcb));
  ASSERT_TRUE(CloseHandle(device));

  termios after{};
  ASSERT_EQ(tcgetattr(pty.MasterFd(), &after), 0);
  EXPECT_EQ(cfgetospeed(&after), B2400);
  EXPECT_TRUE(after.c_lflag & ECHO);
  EXPECT_TRUE(after.c_lflag & ICANON);
}

// A rate outside the termios table is the one a plain tcsetattr would lose.
TEST(SerialDeviceOpen, OriginalRateOutsideTheTableComesBackOnClose) {
  PtyPair pty;
  PortFolder ports;
  ports.Link(kPort, pty.SlavePath());
  ASSERT_EQ(SetBaudRate(pty.MasterFd(), 250000), 0);

  HANDLE device = OpenCom(kPort);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  DCB dcb{};
  ASSERT_TRUE(GetCommState(device, &dcb));
  EXPECT_EQ(dcb.BaudRate, 250000u);
  dcb.BaudRate = 57600;
  ASSERT_TRUE(SetCommState(device, &dcb));
  ASSERT_TRUE(CloseHandle(device));

  EXPECT_EQ(GetBaudRate(pty.MasterFd()), 250000u);
}

TEST_F(SerialDeviceTest, ReadReturnsAtOnceWithWhatArrived) {
  EXPECT_EQ(ReadAll(), "");
  pty_.Write("OK\r\n");
  auto wait = (SetCommMask(device_, EV_RXCHAR), StartWait(device_));
  ASSERT_EQ(Finish(wait).mask, EV_RXCHAR);
  EXPECT_EQ(ReadAll(), "OK\r\n");
  EXPECT_EQ(ReadAll(), "");
}

TEST_F(SerialDeviceTest, ArrivalIsReportedOnceNotWhileBytesWaitUnread) {
  ASSERT_TRUE(SetCommMask(device_, EV_RXCHAR | EV_ERR));
  pty_.Write("abc");
  auto first = StartWait(device_);
  WaitResult arrived = Finish(first);
  EXPECT_TRUE(arrived.ok);
  EXPECT_EQ(arrived.mask, EV_RXCHAR);

  // The three bytes stay unread: that is no new arrival.
  auto second = StartWait(device_);
  EXPECT_EQ(second.wait_for(200ms), std::future_status::timeout);
  pty_.Write("def");
  WaitResult more = Finish(second);
  EXPECT_TRUE(more.ok);
  EXPECT_EQ(more.mask, EV_RXCHAR);
  EXPECT_EQ(ReadAll(), "abcdef");

  // Everything was read: an arrival already consumed is not reported again.
  auto third = StartWait(device_);
  EXPECT_EQ(third.wait_for(200ms), std::future_status::timeout);
  ASSERT_TRUE(SetCommMask(device_, EV_RXCHAR));
  EXPECT_EQ(Finish(third).mask, 0u);
}

TEST_F(SerialDeviceTest, FullInputSideCostsNoCpu) {
  ASSERT_TRUE(SetCommMask(device_, EV_RXCHAR));
  // Fill the tty until the peer cannot write any more.
  std::string block(4096, 'x');
  size_t sent = 0;
  for (int i = 0; i < 1000; ++i) {
    ssize_t n = write(pty_.MasterFd(), block.data(), block.size());
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  ASSERT_GT(sent, 0u);
  // A reader whose own buffer is full: it waits and checks but reads nothing.
  std::atomic<bool> stop{false};
  std::atomic<int> wakeUps{0};
  std::thread reader([&] {
    while (!stop) {
      DWORD mask = 0;
      if (!WaitCommEvent(device_, &mask, nullptr)) break;
      DWORD errors = 0;
      COMSTAT status{};
      ClearCommError(device_, &errors, &status);
      ++wakeUps;
    }
  });
  std::this_thread::sleep_for(100ms);
  int settledWakeUps = wakeUps;
  double before = ProcessCpuSeconds();
  std::this_thread::sleep_for(500ms);
  double used = ProcessCpuSeconds() - before;
  int lateWakeUps = wakeUps - settledWakeUps;
  stop = true;
  SetCommMask(device_, 0);
  reader.join();
  EXPECT_LT(used, 0.05) << "CPU seconds spent while the input side was full";
  EXPECT_EQ(lateWakeUps, 0);
  DWORD errors = 0;
  COMSTAT status{};
  ASSERT_TRUE(ClearCommError(device_, &errors, &status));
  EXPECT_GT(status.cbInQue, 0u);
}

TEST_F(SerialDeviceTest, MaskZeroEndsAPendingWait) {
  ASSERT_TRUE(SetCommMask(device_, EV_RXCHAR | EV_CTS | EV_DSR));
  auto wait = StartWait(device_);
  EXPECT_EQ(wait.wait_for(50ms), std::future_status::timeout);
  ASSERT_TRUE(SetCommMask(device_, 0));
  WaitResult result = Finish(wait);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.mask, 0u);
  DWORD mask = 1;
  ASSERT_TRUE(GetCommMask(device_, &mask));
  EXPECT_EQ(mask, 0u);
}

TEST_F(SerialDeviceTest, WaitWithMaskZeroBlocksUntilTheMaskChanges) {
  ASSERT_TRUE(SetCommMask(device_, 0));
  pty_.Write("ignored");
  auto wait = StartWait(device_);
  EXPECT_EQ(wait.wait_for(100ms), std::future_status::timeout);
  ASSERT_TRUE(SetCommMask(device_, EV_RXCHAR));
  EXPECT_EQ(Finish(wait).mask, 0u);
}

TEST_F(SerialDeviceTest, CloseEndsAPendingWait) {
  ASSERT_TRUE(SetCommMask(device_, EV_RXCHAR));
  auto wait = StartWait(device_);
  EXPECT_EQ(wait.wait_for(50ms), std::future_status::timeout);
  ASSERT_TRUE(CloseHandle(device_));
  HANDLE closed = device_;
  device_ = INVALID_HANDLE_VALUE;
  ASSERT_EQ(wait.wait_for(5s), std::future_status::ready);
  WaitResult result = wait.get();
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.error == ERROR_OPERATION_ABORTED || result.error == ERROR_INVALID_HANDLE)
      << result.error;
  DWORD mask = 0;
  EXPECT_FALSE(WaitCommEvent(closed, &mask, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(SerialDeviceClose, RacesWithWaitsReadsAndWrites) {
  PtyPair pty;
  PortFolder ports;
  ports.Link(kPort, pty.SlavePath());
  pty.HoldSlaveOpen();
  for (int round = 0; round < 30; ++round) {
    HANDLE device = OpenCom(kPort);
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << "round " << round << " error " << GetLastError();
    SetCommMask(device, EV_RXCHAR);
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    SetCommTimeouts(device, &timeouts);
    std::thread waiter([device] {
      DWORD mask = 0;
      while (WaitCommEvent(device, &mask, nullptr)) {
      }
    });
    std::thread worker([device] {
      char buffer[64];
      DWORD n = 0;
      while (ReadFile(device, buffer, sizeof buffer, &n, nullptr) &&
             WriteFile(device, "ping", 4, &n, nullptr)) {
        ClearCommError(device, nullptr, nullptr);
      }
    });
    pty.Write("data");
    if (round % 2 == 0) std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(CloseHandle(device));
    waiter.join();
    worker.join();
    pty.ReadAvailable(0ms);
  }
}

// A write that the close overtakes either fails at once or is completed as
// aborted: it is never left pending with nobody to finish it. The peer does
// not read, so every write goes pending and is purged, again and again, until
// the close lands somewhere in that cycle.
TEST(SerialDeviceClose, WriteRacingTheCloseIsNeverLeftPending) {
  PtyPair pty;
  PortFolder ports;
  ports.Link(kPort, pty.SlavePath());
  pty.HoldSlaveOpen();
  const std::string block(1 << 16, 'r');
  HANDLE sent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  for (int round = 0; round < 300; ++round) {
    HANDLE device = OpenCom(kPort);
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << "round " << round << " error " << GetLastError();
    OVERLAPPED overlapped{};
    overlapped.hEvent = sent;
    std::atomic<int> cycles{0};
    std::atomic<bool> ended{false};
    bool leftPending = false;
    std::thread writer([&] {
      struct Ended {
        std::atomic<bool>& flag;
        ~Ended() { flag = true; }
      } mark{ended};
      for (;;) {
        DWORD written = 0;
        if (WriteFile(device, block.data(), static_cast<DWORD>(block.size()), &written,
                      &overlapped)) {
          continue;
        }
        if (GetLastError() != ERROR_IO_PENDING) return;
        ++cycles;
        if (!PurgeComm(device, PURGE_TXABORT | PURGE_TXCLEAR)) {
          leftPending = true;
          return;
        }
      }
    });
    while (cycles < 1 + round % 7 && !ended) {
    }
    ASSERT_TRUE(CloseHandle(device));
    writer.join();
    if (leftPending) {
      // The close returned after the write call did, so the outcome is there.
      ASSERT_EQ(WaitForSingleObject(sent, 0), WAIT_OBJECT_0) << "round " << round;
      EXPECT_EQ(overlapped.Internal, ERROR_OPERATION_ABORTED);
    }
    pty.ReadAvailable(0ms);
  }
  CloseHandle(sent);
}

TEST_F(SerialDeviceTest, PurgeAbandonsAWriteThePeerDoesNotRead) {
  OverlappedWrite write;
  OVERLAPPED& overlapped = write.overlapped;
  HANDLE sent = overlapped.hEvent;
  std::string block(1 << 20, 'w');
  ASSERT_TRUE(write.StartPending(device_, block));
  EXPECT_EQ(WaitForSingleObject(sent, 50), WAIT_TIMEOUT);
  DWORD transferred = 0;
  EXPECT_FALSE(GetOverlappedResult(device_, &overlapped, &transferred, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
  COMSTAT status{};
  ASSERT_TRUE(ClearCommError(device_, nullptr, &status));
  EXPECT_GT(status.cbOutQue, 0u);

  ASSERT_TRUE(PurgeComm(device_, PURGE_TXABORT | PURGE_TXCLEAR));
  EXPECT_EQ(WaitForSingleObject(sent, 0), WAIT_OBJECT_0);
  EXPECT_FALSE(GetOverlappedResult(device_, &overlapped, &transferred, TRUE));
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  EXPECT_LT(transferred, block.size());

  // Nothing of the abandoned write goes out any more.
  std::string drained = pty_.ReadAvailable(50ms);
  std::string later = pty_.ReadAvailable(100ms);
  EXPECT_EQ(later, "");
  EXPECT_LT(drained.size(), block.size());
  // And the device writes again.
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(device_, "AT\r\n", 4, &written, &overlapped));
  EXPECT_EQ(written, 4u);
  EXPECT_EQ(pty_.ReadExactly(4), "AT\r\n");
}

TEST_F(SerialDeviceTest, PendingWriteCompletesWhenThePeerReads) {
  OverlappedWrite write;
  std::string block;
  for (int i = 0; block.size() < 200000; ++i) block += std::to_string(i) + ",";
  ASSERT_TRUE(write.StartPending(device_, block));
  std::string got = pty_.ReadExactly(block.size(), 10s);
  EXPECT_EQ(got, block);
  EXPECT_EQ(WaitForSingleObject(write.overlapped.hEvent, 5000), WAIT_OBJECT_0);
  DWORD transferred = 0;
  EXPECT_TRUE(GetOverlappedResult(device_, &write.overlapped, &transferred, TRUE));
  EXPECT_EQ(transferred, block.size());
}

TEST_F(SerialDeviceTest, CloseDoesNotWaitForAPeerThatDoesNotRead) {
  OverlappedWrite write;
  ASSERT_TRUE(write.StartPending(device_, std::string(1 << 20, 'c')));
  ASSERT_TRUE(CloseHandle(device_));
  device_ = INVALID_HANDLE_VALUE;
  EXPECT_EQ(WaitForSingleObject(write.overlapped.hEvent, 0), WAIT_OBJECT_0);
  EXPECT_EQ(write.overlapped.Internal, ERROR_OPERATION_ABORTED);
}

TEST_F(SerialDeviceTest, HangUpIsReportedOnceThenNothingSpins) {
  ASSERT_TRUE(SetCommMask(device_, EV_RXCHAR | EV_ERR));
  pty_.CloseMaster();
  auto wait = StartWait(device_);
  WaitResult hangUp = Finish(wait);
  EXPECT_TRUE(hangUp.ok);
  EXPECT_TRUE(hangUp.mask & EV_ERR) << hangUp.mask;

  EXPECT_EQ(ReadAll(), "");
  DWORD written = 0;
  SetLastError(0);
  EXPECT_FALSE(WriteFile(device_, "AT\r\n", 4, &written, nullptr));
  EXPECT_NE(GetLastError(), ERROR_IO_PENDING);
  EXPECT_NE(GetLastError(), 0u);
  COMSTAT status{};
  EXPECT_TRUE(ClearCommError(device_, nullptr, &status));
  EXPECT_EQ(status.cbInQue, 0u);

  // The dead line is not reported again, and waiting on it costs nothing.
  double before = ProcessCpuSeconds();
  auto again = StartWait(device_);
  EXPECT_EQ(again.wait_for(300ms), std::future_status::timeout);
  EXPECT_LT(ProcessCpuSeconds() - before, 0.05);
  ASSERT_TRUE(SetCommMask(device_, EV_RXCHAR | EV_ERR));
  EXPECT_EQ(Finish(again).mask, 0u);
  EXPECT_TRUE(PurgeComm(device_, PURGE_TXABORT | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_RXCLEAR));
  EXPECT_TRUE(CloseHandle(device_));
  device_ = INVALID_HANDLE_VALUE;
}

TEST_F(SerialDeviceTest, ModemLinesOfAPseudoTerminalAreQuietlyAbsent) {
  for (DWORD function : {SETDTR, CLRDTR, SETRTS, CLRRTS, SETBREAK, CLRBREAK}) {
    EXPECT_TRUE(EscapeCommFunction(device_, function)) << function;
  }
  DWORD status = 0xFF;
  ASSERT_TRUE(GetCommModemStatus(device_, &status));
  EXPECT_EQ(status, 0u);
  EXPECT_FALSE(EscapeCommFunction(device_, 77));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(SetRS485Mode(device_, TRUE));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_TRUE(SetupComm(device_, 4096, 4096));
}

// Runs `probe` in a child process and returns its exit status (or -1).
template <typename Probe>
int InChild(Probe probe) {
  pid_t child = fork();
  if (child == 0) _exit(probe());
  int status = 0;
  for (int i = 0; i < 500; ++i) {
    if (waitpid(child, &status, WNOHANG) == child) {
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::this_thread::sleep_for(10ms);
  }
  kill(child, SIGKILL);
  waitpid(child, &status, 0);
  return -1;
}

TEST(SerialDeviceOpen, SecondOpenIsRefusedUntilTheFirstCloses) {
  PtyPair pty;
  PortFolder ports;
  ports.Link(kPort, pty.SlavePath());
  HANDLE first = OpenCom(kPort);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);

  EXPECT_EQ(OpenCom(kPort), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  // Another process, root or not, is refused the same way.
  EXPECT_EQ(
      InChild([] { return OpenCom(kPort) == INVALID_HANDLE_VALUE ? int(GetLastError()) : 0; }),
      int(ERROR_ACCESS_DENIED));

  ASSERT_TRUE(CloseHandle(first));
  HANDLE again = OpenCom(kPort);
  ASSERT_NE(again, INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_EQ(
      InChild([] { return OpenCom(kPort) == INVALID_HANDLE_VALUE ? int(GetLastError()) : 0; }),
      int(ERROR_ACCESS_DENIED));
  CloseHandle(again);
}

// A holder that dies without closing (killed, crashed) leaves the port free:
// the next user, privileged or not, opens it.
TEST(SerialDeviceOpen, PortOfAHolderThatDiedIsFreeForTheNextUser) {
  PtyPair pty;
  PortFolder ports;
  ports.Link(kPort, pty.SlavePath());
  chmod(ports.Path().c_str(), 0755);
  ASSERT_EQ(chmod(pty.SlavePath().c_str(), 0666), 0);
  // _exit skips every destructor, as a kill does.
  EXPECT_EQ(InChild([] { return OpenCom(kPort) == INVALID_HANDLE_VALUE ? 1 : 0; }), 0);

  int status = InChild([] {
    if (geteuid() == 0) {
      passwd* nobody = getpwnam("nobody");
      if (nobody == nullptr || setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 ||
          setuid(nobody->pw_uid) != 0) {
        return 90;
      }
    }
    HANDLE device = OpenCom(kPort);
    if (device == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_ACCESS_DENIED ? 5 : 97;
    // Still exclusive while it is held.
    if (InChild([] { return OpenCom(kPort) == INVALID_HANDLE_VALUE ? int(GetLastError()) : 0; }) !=
        int(ERROR_ACCESS_DENIED)) {
      return 95;
    }
    return CloseHandle(device) ? 0 : 96;
  });
  chmod(pty.SlavePath().c_str(), 0620);
  EXPECT_EQ(status, 0) << "5 means refused as already open";
}

TEST(SerialDeviceOpen, MissingDevicesAreNotFound) {
  PtyPair pty;
  PortFolder ports;
  ports.Link(4, ports.Path() + "/no-such-device");
  EXPECT_EQ(OpenCom(4), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenCom(99), INVALID_HANDLE_VALUE);  // not in the default table
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(CreateFileA("LPT1", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  // So does a port-folder link to a folder.
  ports.Link(4, ports.Path());
  EXPECT_EQ(OpenCom(4), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  // A node whose other side is gone counts as absent hardware.
  ports.Link(kPort, pty.SlavePath());
  pty.CloseMaster();
  EXPECT_EQ(OpenCom(kPort), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  PortAccessInfo info{};
  EXPECT_FALSE(GetPortAccessInfo(&info));
}

// A device named by its path, or by a link to it, opens as its COM number
// would, exclusively; it counts as removed once the path no longer leads to
// it. Only an absolute path names a device.
TEST(SerialDeviceOpen, ADevicePathOpensTheDeviceItself) {
  PtyPair pty;
  PortFolder ports;
  const std::string link = ports.Path() + "/usb-Kestrix-if00";
  ASSERT_EQ(symlink(pty.SlavePath().c_str(), link.c_str()), 0);
  const auto open = [](const std::string& name) {
    return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
  };
  HANDLE device = open(link);
  ASSERT_NE(device, INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_EQ(GetDevicePresence(device), DevicePresence::kPresent);
  EXPECT_EQ(open(pty.SlavePath()), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  ASSERT_EQ(unlink(link.c_str()), 0);
  EXPECT_EQ(GetDevicePresence(device), DevicePresence::kRemoved);
  ASSERT_TRUE(CloseHandle(device));

  const std::string relative = pty.SlavePath().substr(1);
  for (const std::string& name : {link, relative, std::string("/dev/null")}) {
    EXPECT_EQ(open(name), INVALID_HANDLE_VALUE) << name;
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << name;
  }
}

// A refusal names the group whose members may open the device only when
// joining it would help: the mode lets the group read and write, and the
// group has a name.
TEST(SerialDeviceOpen, PermissionRefusalNamesAGroupOnlyWhenJoiningItHelps) {
  PtyPair pty;
  PortFolder ports;
  ports.Link(kPort, pty.SlavePath());
  chmod(ports.Path().c_str(), 0755);
  struct stat original {};
  ASSERT_EQ(stat(pty.SlavePath().c_str(), &original), 0);
  group* dialout = getgrnam("dialout");
  ASSERT_NE(dialout, nullptr);
  gid_t nameless = 54321;
  while (getgrgid(nameless) != nullptr) ++nameless;

  struct Case {
    const char* what;
    gid_t group;
    mode_t mode;
    std::string named;
  };
  const Case cases[] = {
      {"0600 root:root", 0, 0600, ""},
      {"a group without a name", nameless, 0660, ""},
      {"a group that may only write", dialout->gr_gid, 0620, ""},
      {"dialout", dialout->gr_gid, 0660, "dialout"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(chown(pty.SlavePath().c_str(), 0, c.group), 0);
    ASSERT_EQ(chmod(pty.SlavePath().c_str(), c.mode), 0);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    int status = InChild([&] {
      close(pipeFds[0]);
      passwd* nobody = getpwnam("nobody");
      if (nobody == nullptr || setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 ||
          setuid(nobody->pw_uid) != 0) {
        return 90;
      }
      if (OpenCom(kPort) != INVALID_HANDLE_VALUE) return 92;
      if (GetLastError() != ERROR_PORT_PERMISSION_DENIED) return 93;
      PortAccessInfo access{};
      if (!GetPortAccessInfo(&access)) return 94;
      std::string told = std::string(access.devicePath) + ":" + access.groupName;
      [[maybe_unused]] ssize_t n = write(pipeFds[1], told.data(), told.size());
      return 0;
    });
    close(pipeFds[1]);
    char told[512] = {};
    [[maybe_unused]] ssize_t n = read(pipeFds[0], told, sizeof told - 1);
    close(pipeFds[0]);
    EXPECT_EQ(status, 0) << c.what;
    EXPECT_EQ(std::string(told), pty.SlavePath() + ":" + c.named) << c.what;
  }
  chown(pty.SlavePath().c_str(), original.st_uid, original.st_gid);
  chmod(pty.SlavePath().c_str(), original.st_mode & 07777);
}

}  // namespace
