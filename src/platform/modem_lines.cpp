#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "platform/errors.h"
#include "platform/serial_device.h"

namespace {

// What a tty without the feature (a pseudo-terminal) answers.
bool NotSupported(int err) {
  return err == ENOTTY || err == EINVAL;
}

DWORD IoctlError(int err) {
  return err == EIO ? ERROR_DEVICE_NOT_CONNECTED : Win32ErrorFromErrno(err);
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

DWORD DriveModemLine(int fd, int line, bool on) {
  if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0 || NotSupported(errno)) {
    return ERROR_SUCCESS;
  }
  return IoctlError(errno);
}

BOOL EscapeCommFunction(HANDLE handle, DWORD function) {
  DeviceUse device(handle);
  if (!device) return FALSE;
  int result = 0;
  switch (function) {
    case SETDTR:
    case CLRDTR:
    case SETRTS:
    case CLRRTS: {
      int line = (function == SETDTR || function == CLRDTR) ? TIOCM_DTR : TIOCM_RTS;
      DWORD error = DriveModemLine(device->fd, line, function == SETDTR || function == SETRTS);
      return error == ERROR_SUCCESS ? TRUE : Fail(error);
    }
    case SETBREAK:
      result = ioctl(device->fd, TIOCSBRK);
      break;
    case CLRBREAK:
      result = ioctl(device->fd, TIOCCBRK);
      break;
    case SETXOFF:
      result = tcflow(device->fd, TCOOFF);
      break;
    case SETXON:
      result = tcflow(device->fd, TCOON);
      break;
    default:
      return Fail(ERROR_INVALID_PARAMETER);
  }
  if (result != 0 && !NotSupported(errno)) return Fail(IoctlError(errno));
  return TRUE;
}

BOOL GetCommModemStatus(HANDLE handle, DWORD* modemStatus) {
  DeviceUse device(handle);
  if (!device) return FALSE;
  if (modemStatus == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  int lines = 0;
  if (!device->noModemLines && ioctl(device->fd, TIOCMGET, &lines) != 0) {
    if (!NotSupported(errno)) return Fail(IoctlError(errno));
    device->noModemLines = true;
    lines = 0;
  }
  *modemStatus = ((lines & TIOCM_CTS) ? MS_CTS_ON : 0) | ((lines & TIOCM_DSR) ? MS_DSR_ON : 0) |
                 ((lines & TIOCM_RNG) ? MS_RING_ON : 0) | ((lines & TIOCM_CAR) ? MS_RLSD_ON : 0);
  return TRUE;
}

BOOL SetRS485Mode(HANDLE handle, BOOL on) {
  DeviceUse device(handle);
  if (!device) return FALSE;
  serial_rs485 settings{};
  if (ioctl(device->fd, TIOCGRS485, &settings) != 0) {
    return Fail(NotSupported(errno) ? ERROR_NOT_SUPPORTED : IoctlError(errno));
  }
  if (on) {
    settings.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    settings.flags &= ~SER_RS485_RTS_AFTER_SEND;
  } else {
    settings.flags &= ~SER_RS485_ENABLED;
  }
  if (ioctl(device->fd, TIOCSRS485, &settings) != 0) {
    return Fail(NotSupported(errno) ? ERROR_NOT_SUPPORTED : IoctlError(errno));
  }
  return TRUE;
}
