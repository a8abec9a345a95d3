#include "platform/dcb_termios.h"

#include <termios.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/baud_rate.h"
#include "platform/errors.h"

namespace {

// The flags this mapping owns, compared after applying.
constexpr tcflag_t kControlFlags = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
constexpr tcflag_t kInputFlags = IXON | IXOFF | IGNBRK | BRKINT | IGNPAR | INPCK | PARMRK;

// Nothing between the wire and the program: no echo, no line editing, no
// character translation. VMIN 1 with the descriptor non-blocking: an empty
// read gives EAGAIN, so a read of 0 bytes means hang-up (with VMIN 0 both
// would read 0 bytes).
//
// The input flags come from the settings alone, never from the program that
// had the tty before: an inherited IGNPAR or INPCK would drop bad bytes or
// turn them into 0x00. Bytes arrive as they came; the driver counts parity,
// framing and break in its counters (ClearCommError) whatever these flags
// say, and IGNBRK keeps a break from also arriving as a 0x00 byte.
void SetRaw(termios& settings) {
  settings.c_iflag = IGNBRK;
  settings.c_oflag &= ~OPOST;
  settings.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  settings.c_cflag |= CREAD | CLOCAL;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
}

bool SetByteSize(termios& settings, BYTE byteSize) {
  tcflag_t size = 0;
  switch (byteSize) {
    case 5:
      size = CS5;
      break;
    case 6:
      size = CS6;
      break;
    case 7:
      size = CS7;
      break;
    case 8:
      size = CS8;
      break;
    default:
      return false;
  }
  settings.c_cflag = (settings.c_cflag & ~CSIZE) | size;
  return true;
}

// Mark and space parity are the "sticky" parity of CMSPAR: PARODD then
// selects mark (1), its absence space (0).
bool SetParity(termios& settings, BYTE parity) {
  tcflag_t flags = 0;
  switch (parity) {
    case NOPARITY:
      break;
    case ODDPARITY:
      flags = PARENB | PARODD;
      break;
    case EVENPARITY:
      flags = PARENB;
      break;
    case MARKPARITY:
      flags = PARENB | PARODD | CMSPAR;
      break;
    case SPACEPARITY:
      flags = PARENB | CMSPAR;
      break;
    default:
      return false;
  }
  settings.c_cflag = (settings.c_cflag & ~(PARENB | PARODD | CMSPAR)) | flags;
  return true;
}

// One and a half stop bits are CSTOPB with five data bits, two stop bits
// CSTOPB with more: a UART cannot send either with the other sizes, so those
// pairs are refused rather than reported as what the line does not do.
bool SetStopBits(termios& settings, BYTE stopBits, BYTE byteSize) {
  switch (stopBits) {
    case ONESTOPBIT:
      settings.c_cflag &= ~CSTOPB;
      return true;
    case ONE5STOPBITS:
    case TWOSTOPBITS:
      if ((stopBits == ONE5STOPBITS) != (byteSize == 5)) return false;
      settings.c_cflag |= CSTOPB;
      return true;
  }
  return false;
}

// Linux has one switch for both directions of RTS/CTS flow; SetCommState
// refuses the settings that would need them apart.
void SetHardwareFlow(termios& settings, const DCB& dcb) {
  if (dcb.fOutxCtsFlow) {
    settings.c_cflag |= CRTSCTS;
  } else {
    settings.c_cflag &= ~CRTSCTS;
  }
}

void SetSoftwareFlow(termios& settings, const DCB& dcb) {
  settings.c_iflag =
      (settings.c_iflag & ~(IXON | IXOFF)) | (dcb.fOutX ? IXON : 0) | (dcb.fInX ? IXOFF : 0);
  settings.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  settings.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
}

bool Valid(const DCB& dcb) {
  if (dcb.BaudRate == 0) return false;
  if ((dcb.fOutX || dcb.fInX) && dcb.XonChar == dcb.XoffChar) return false;
  return true;
}

bool SameSettings(const termios& wanted, const termios& got) {
  return (wanted.c_cflag & kControlFlags) == (got.c_cflag & kControlFlags) &&
         (wanted.c_iflag & kInputFlags) == (got.c_iflag & kInputFlags) &&
         wanted.c_cc[VSTART] == got.c_cc[VSTART] && wanted.c_cc[VSTOP] == got.c_cc[VSTOP];
}

// Every part of the settings, so that a call that would change nothing
// leaves the tty untouched (and has nothing to undo at the close).
bool SameTermios(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && cfgetispeed(&a) == cfgetispeed(&b) &&
         cfgetospeed(&a) == cfgetospeed(&b) && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// A driver may round a rate to what its clock divides to; a rate off by more
// than 1% was not taken.
bool SameBaud(DWORD wanted, DWORD got) {
  // In 64 bits: a 32-bit product wraps for rates tens of millions apart.
  std::uint64_t difference = wanted > got ? wanted - got : got - wanted;
  return difference * 100 <= wanted;
}

BYTE DescribeByteSize(const termios& settings) {
  switch (settings.c_cflag & CSIZE) {
    case CS5:
      return 5;
    case CS6:
      return 6;
    case CS7:
      return 7;
  }
  return 8;
}

BYTE DescribeParity(const termios& settings) {
  if (!(settings.c_cflag & PARENB)) return NOPARITY;
  bool odd = settings.c_cflag & PARODD;
  if (settings.c_cflag & CMSPAR) return odd ? MARKPARITY : SPACEPARITY;
  return odd ? ODDPARITY : EVENPARITY;
}

BYTE DescribeStopBits(const termios& settings) {
  if (!(settings.c_cflag & CSTOPB)) return ONESTOPBIT;
  return (settings.c_cflag & CSIZE) == CS5 ? ONE5STOPBITS : TWOSTOPBITS;
}

}  // namespace

DWORD MakeRawAndDescribe(int fd, DCB* dcb, bool* changed) {
  termios current{};
  if (tcgetattr(fd, &current) != 0) return Win32ErrorFromErrno(errno);
  termios settings = current;
  SetRaw(settings);
  // No flow control until the settings ask for it, as for XON/XOFF.
  settings.c_cflag &= ~CRTSCTS;
  *changed = !SameTermios(settings, current);
  if (*changed && tcsetattr(fd, TCSANOW, &settings) != 0) return Win32ErrorFromErrno(errno);
  *dcb = DCB{};
  dcb->DCBlength = sizeof(DCB);
  // A pseudo-terminal starts at rate 0, which no DCB can carry.
  dcb->BaudRate = GetBaudRate(fd).value_or(0);
  if (dcb->BaudRate == 0) dcb->BaudRate = 9600;
  dcb->fBinary = 1;
  dcb->fDtrControl = DTR_CONTROL_ENABLE;
  dcb->fRtsControl = RTS_CONTROL_ENABLE;
  dcb->fTXContinueOnXoff = 1;
  dcb->XonLim = 2048;
  dcb->XoffLim = 512;
  dcb->ByteSize = DescribeByteSize(settings);
  dcb->Parity = DescribeParity(settings);
  dcb->StopBits = DescribeStopBits(settings);
  dcb->XonChar = static_cast<char>(settings.c_cc[VSTART]);
  dcb->XoffChar = static_cast<char>(settings.c_cc[VSTOP]);
  dcb->EofChar = 0x1A;
  return ERROR_SUCCESS;
}

DWORD ApplyDcb(int fd, const DCB& dcb, bool* changed) {
  *changed = false;
  if (!Valid(dcb)) return ERROR_INVALID_PARAMETER;
  termios before{};
  if (tcgetattr(fd, &before) != 0) return Win32ErrorFromErrno(errno);
  auto baudBefore = GetBaudRate(fd);

  termios wanted = before;
  SetRaw(wanted);
  if (!SetByteSize(wanted, dcb.ByteSize) || !SetParity(wanted, dcb.Parity) ||
      !SetStopBits(wanted, dcb.StopBits, dcb.ByteSize)) {
    return ERROR_INVALID_PARAMETER;
  }
  SetHardwareFlow(wanted, dcb);
  SetSoftwareFlow(wanted, dcb);
  if (SameTermios(wanted, before) && baudBefore == dcb.BaudRate) return ERROR_SUCCESS;

  // tcsetattr succeeds when the driver took any part of the settings; only
  // reading them back tells whether it took all.
  int err = 0;
  if (tcsetattr(fd, TCSANOW, &wanted) != 0) err = errno;
  if (err == 0) err = SetBaudRate(fd, dcb.BaudRate);
  termios got{};
  auto baudGot = GetBaudRate(fd);
  bool taken = err == 0 && tcgetattr(fd, &got) == 0 && SameSettings(wanted, got) && baudGot &&
               SameBaud(dcb.BaudRate, *baudGot);
  *changed = true;
  if (taken) return ERROR_SUCCESS;
  tcsetattr(fd, TCSANOW, &before);
  if (baudBefore) SetBaudRate(fd, *baudBefore);
  if (err == EIO) return ERROR_DEVICE_NOT_CONNECTED;
  return ERROR_INVALID_PARAMETER;
}
