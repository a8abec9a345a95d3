// Win32-style serial device calls over termios, poll, flock and eventfd.
//
// Device names are "\\.\COMn"; port_map.h says which Linux device each names.
// An absolute path names the device itself (a command line's /dev/ttyUSB0 or
// /dev/serial/by-id/... link).
// Every blocking call here can be ended by another thread: a pending
// WaitCommEvent returns when the mask is set to 0 or the handle is closed,
// a pending write is abandoned by PurgeComm(PURGE_TXABORT) or a close.
#pragma once

#include "win_types.h"

// CreateFileA arguments the serial line uses.
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;

// Opens a serial device exclusively (TIOCEXCL and flock). Fails with
// INVALID_HANDLE_VALUE and the last error set: 2 when the device does not
// exist (or its hardware is absent, or it is no tty), 5 when another program
// holds it (its flock, or its TIOCEXCL, which is respected even by root),
// ERROR_PORT_PERMISSION_DENIED when this user may not open it. A refused open
// changes nothing on the tty. CloseHandle undoes only what the handle did:
// its settings, its exclusive claim, and its unsent output.
HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                   SECURITY_ATTRIBUTES* securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);

// Which device a permission refusal of the calling thread's last CreateFileA
// concerned, and the group whose members may open it: named only when the
// device's mode lets its group read and write and the group has a name,
// else empty. False when the last failure was not a refusal.
struct PortAccessInfo {
  char devicePath[256];
  char groupName[64];
};
BOOL GetPortAccessInfo(PortAccessInfo* info);

// Device control block: the fields the serial line sets and reads.
constexpr BYTE NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
constexpr BYTE ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;
constexpr DWORD DTR_CONTROL_DISABLE = 0, DTR_CONTROL_ENABLE = 1, DTR_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_DISABLE = 0, RTS_CONTROL_ENABLE = 1, RTS_CONTROL_HANDSHAKE = 2,
                RTS_CONTROL_TOGGLE = 3;

struct DCB {
  DWORD DCBlength;
  DWORD BaudRate;
  DWORD fBinary : 1;
  DWORD fParity : 1;
  DWORD fOutxCtsFlow : 1;
  DWORD fOutxDsrFlow : 1;
  DWORD fDtrControl : 2;
  DWORD fDsrSensitivity : 1;
  DWORD fTXContinueOnXoff : 1;
  DWORD fOutX : 1;
  DWORD fInX : 1;
  DWORD fErrorChar : 1;
  DWORD fNull : 1;
  DWORD fRtsControl : 2;
  DWORD fAbortOnError : 1;
  DWORD fDummy2 : 17;
  WORD wReserved;
  WORD XonLim;
  WORD XoffLim;
  BYTE ByteSize;
  BYTE Parity;
  BYTE StopBits;
  char XonChar;
  char XoffChar;
  char ErrorChar;
  char EofChar;
  char EvtChar;
  WORD wReserved1;
};

BOOL GetCommState(HANDLE device, DCB* dcb);
// Applies the settings and reads them back; fails with ERROR_INVALID_PARAMETER
// when the driver took only part of them, or for 1.5 stop bits with other
// than 5 data bits or 2 with 5. Flow control the tty cannot enforce fails
// with ERROR_NOT_SUPPORTED: DSR output flow, a DTR handshake, an RTS
// handshake without CTS output flow or the reverse, and on a pseudo-terminal
// RTS/CTS and XOFF sent on receive. Either way the device keeps what it had.
// Received bytes are delivered as they came whatever fParity says; parity,
// framing and break errors are reported by ClearCommError.
BOOL SetCommState(HANDLE device, const DCB* dcb);
BOOL SetupComm(HANDLE device, DWORD inQueue, DWORD outQueue);

struct COMMTIMEOUTS {
  DWORD ReadIntervalTimeout;
  DWORD ReadTotalTimeoutMultiplier;
  DWORD ReadTotalTimeoutConstant;
  DWORD WriteTotalTimeoutMultiplier;
  DWORD WriteTotalTimeoutConstant;
};
BOOL SetCommTimeouts(HANDLE device, const COMMTIMEOUTS* timeouts);

// Device events.
constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD EV_RXFLAG = 0x0002;
constexpr DWORD EV_TXEMPTY = 0x0004;
constexpr DWORD EV_CTS = 0x0008;
constexpr DWORD EV_DSR = 0x0010;
constexpr DWORD EV_RLSD = 0x0020;
constexpr DWORD EV_BREAK = 0x0040;
constexpr DWORD EV_ERR = 0x0080;
constexpr DWORD EV_RING = 0x0100;

struct OVERLAPPED {
  DWORD_PTR Internal;      // status of the operation (0 done, else an error number)
  DWORD_PTR InternalHigh;  // bytes transferred
  DWORD Offset;
  DWORD OffsetHigh;
  HANDLE hEvent;  // manual-reset event signalled when a pending operation completes
};

// Setting a mask while a WaitCommEvent is pending on another thread completes
// that wait with an event mask of 0.
BOOL SetCommMask(HANDLE device, DWORD mask);
BOOL GetCommMask(HANDLE device, DWORD* mask);
// Waits for an event of the mask. EV_RXCHAR is an edge: it is reported when
// bytes arrived since the last report, not while old bytes wait unread.
// A hang-up is reported once (as EV_ERR); after it the wait blocks until the
// mask changes or the handle closes, so it never spins.
// May complete at once (TRUE) or return FALSE with ERROR_IO_PENDING, in which
// case overlapped->hEvent is signalled on completion and GetOverlappedResult
// gives the outcome.
BOOL WaitCommEvent(HANDLE device, DWORD* eventMask, OVERLAPPED* overlapped);
BOOL GetOverlappedResult(HANDLE device, OVERLAPPED* overlapped, DWORD* transferred, BOOL wait);

// With ReadIntervalTimeout = MAXDWORD and the other read time-outs 0, returns
// at once with what the driver holds (possibly 0 bytes). After a hang-up it
// gives 0 bytes.
BOOL ReadFile(HANDLE device, void* buffer, DWORD toRead, DWORD* read, OVERLAPPED* overlapped);
// Writes what the device takes at once; when it cannot take everything,
// returns FALSE with ERROR_IO_PENDING and finishes the write in the background
// from its own copy of the bytes, signalling overlapped->hEvent when done.
// Fails cleanly (no signal, no crash) after a hang-up.
BOOL WriteFile(HANDLE device, const void* buffer, DWORD toWrite, DWORD* written,
               OVERLAPPED* overlapped);

// ClearCommError error flags.
constexpr DWORD CE_RXOVER = 0x0001;
constexpr DWORD CE_OVERRUN = 0x0002;
constexpr DWORD CE_RXPARITY = 0x0004;
constexpr DWORD CE_FRAME = 0x0008;
constexpr DWORD CE_BREAK = 0x0010;

struct COMSTAT {
  DWORD fCtsHold : 1;
  DWORD fDsrHold : 1;
  DWORD fRlsdHold : 1;
  DWORD fXoffHold : 1;
  DWORD fXoffSent : 1;
  DWORD fEof : 1;
  DWORD fTxim : 1;
  DWORD fReserved : 25;
  DWORD cbInQue;   // bytes the driver holds for reading
  DWORD cbOutQue;  // bytes not yet sent (driver queue plus a pending write)
};
// Reports (and clears) the line errors counted since the last call.
BOOL ClearCommError(HANDLE device, DWORD* errors, COMSTAT* status);

// EscapeCommFunction codes. Modem-line calls that a pseudo-terminal refuses
// succeed without effect.
constexpr DWORD SETXOFF = 1, SETXON = 2, SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6,
                SETBREAK = 8, CLRBREAK = 9;
BOOL EscapeCommFunction(HANDLE device, DWORD function);

constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;
// TXABORT completes a pending write at once (with ERROR_OPERATION_ABORTED);
// when PurgeComm returns, the write no longer touches anything.
BOOL PurgeComm(HANDLE device, DWORD flags);

constexpr DWORD MS_CTS_ON = 0x0010;
constexpr DWORD MS_DSR_ON = 0x0020;
constexpr DWORD MS_RING_ON = 0x0040;
constexpr DWORD MS_RLSD_ON = 0x0080;
// On a pseudo-terminal (no modem lines) reports 0.
BOOL GetCommModemStatus(HANDLE device, DWORD* modemStatus);

// RS-485 transmit control through the kernel's TIOCSRS485 where the driver
// supports it. FALSE with ERROR_NOT_SUPPORTED elsewhere.
BOOL SetRS485Mode(HANDLE device, BOOL on);
