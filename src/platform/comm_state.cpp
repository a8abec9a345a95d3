#include <sys/ioctl.h>

#include "platform/dcb_termios.h"
#include "platform/errors.h"
#include "platform/serial_device.h"

namespace {

// Flow control the tty enforces, or none: a setting reported in force must
// be. Linux has one switch for RTS handshake and CTS output flow together
// (CRTSCTS) and none for DSR output flow or a DTR handshake; a
// pseudo-terminal has no modem lines and never sends an XOFF of its own.
bool FlowEnforceable(const DCB& dcb, bool pseudoTerminal) {
  if (dcb.fOutxDsrFlow || dcb.fDtrControl == DTR_CONTROL_HANDSHAKE) return false;
  const bool rtsHandshake = dcb.fRtsControl == RTS_CONTROL_HANDSHAKE;
  if (rtsHandshake != (dcb.fOutxCtsFlow != 0)) return false;
  return !pseudoTerminal || (!rtsHandshake && !dcb.fInX);
}

// ENABLE and DISABLE drive the line; the handshake and toggle modes are the
// driver's business (CRTSCTS, TIOCSRS485).
DWORD DriveControlLines(int fd, const DCB& dcb) {
  DWORD error = ERROR_SUCCESS;
  if (dcb.fDtrControl == DTR_CONTROL_ENABLE || dcb.fDtrControl == DTR_CONTROL_DISABLE) {
    error = DriveModemLine(fd, TIOCM_DTR, dcb.fDtrControl == DTR_CONTROL_ENABLE);
  }
  if (error == ERROR_SUCCESS &&
      (dcb.fRtsControl == RTS_CONTROL_ENABLE || dcb.fRtsControl == RTS_CONTROL_DISABLE)) {
    error = DriveModemLine(fd, TIOCM_RTS, dcb.fRtsControl == RTS_CONTROL_ENABLE);
  }
  return error;
}

}  // namespace

BOOL GetCommState(HANDLE handle, DCB* dcb) {
  DeviceUse device(handle);
  if (!device) return FALSE;
  if (dcb == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard lock(device->mutex);
  *dcb = device->dcb;
  return TRUE;
}

BOOL SetCommState(HANDLE handle, const DCB* dcb) {
  DeviceUse device(handle);
  if (!device) return FALSE;
  if (dcb == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard lock(device->mutex);
  if (!FlowEnforceable(*dcb, device->pseudoTerminal)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  bool changed = false;
  DWORD error = ApplyDcb(device->fd, *dcb, &changed);
  if (changed) device->settingsChanged = true;
  if (error == ERROR_SUCCESS) error = DriveControlLines(device->fd, *dcb);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  device->dcb = *dcb;
  device->dcb.DCBlength = sizeof(DCB);
  return TRUE;
}

BOOL SetupComm(HANDLE handle, DWORD inQueue, DWORD outQueue) {
  DeviceUse device(handle);
  if (!device) return FALSE;
  // Linux sizes its tty buffers itself; the sizes are kept, not applied.
  std::lock_guard lock(device->mutex);
  device->inQueue = inQueue;
  device->outQueue = outQueue;
  return TRUE;
}

BOOL SetCommTimeouts(HANDLE handle, const COMMTIMEOUTS* timeouts) {
  DeviceUse device(handle);
  if (!device) return FALSE;
  if (timeouts == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard lock(device->mutex);
  device->timeouts = *timeouts;
  return TRUE;
}
