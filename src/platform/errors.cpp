#include "platform/errors.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

// Texts for the numbers this layer produces, worded like the system's own.
const char* KnownText(DWORD error) {
  switch (error) {
    case ERROR_SUCCESS:
      return "The operation completed successfully.";
    case ERROR_FILE_NOT_FOUND:
      return "The system cannot find the file specified.";
    case ERROR_PATH_NOT_FOUND:
      return "The system cannot find the path specified.";
    case ERROR_TOO_MANY_OPEN_FILES:
      return "The system cannot open the file.";
    case ERROR_ACCESS_DENIED:
      return "Access is denied.";
    case ERROR_INVALID_HANDLE:
      return "The handle is invalid.";
    case ERROR_NOT_ENOUGH_MEMORY:
      return "Not enough memory resources are available to process this command.";
    case ERROR_GEN_FAILURE:
      return "A device attached to the system is not functioning.";
    case ERROR_NOT_SUPPORTED:
      return "The request is not supported.";
    case ERROR_INVALID_PARAMETER:
      return "The parameter is incorrect.";
    case ERROR_BROKEN_PIPE:
      return "The pipe has been ended.";
    case ERROR_OPERATION_ABORTED:
      return "The I/O operation has been aborted because of either a thread exit or an application "
             "request.";
    case ERROR_IO_INCOMPLETE:
      return "Overlapped I/O event is not in a signaled state.";
    case ERROR_IO_PENDING:
      return "Overlapped I/O operation is in progress.";
    case ERROR_DEVICE_NOT_CONNECTED:
      return "The device is not connected.";
    case ERROR_INVALID_WINDOW_HANDLE:
      return "Invalid window handle.";
    case ERROR_INVALID_INDEX:
      return "Invalid index.";
    case ERROR_CLASS_ALREADY_EXISTS:
      return "Class already exists.";
    case ERROR_TIMEOUT:
      return "This operation returned because the timeout period expired.";
    case ERROR_PORT_PERMISSION_DENIED:
      return "Permission denied: this user may not open the serial device.";
  }
  return nullptr;
}

}  // namespace

DWORD GetLastError() {
  return lastError;
}

void SetLastError(DWORD error) {
  lastError = error;
}

DWORD Win32ErrorFromErrno(int err) {
  switch (err) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case EBUSY:
    case EWOULDBLOCK:
      return ERROR_ACCESS_DENIED;
    case EACCES:
    case EPERM:
      return ERROR_PORT_PERMISSION_DENIED;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EIO:
      return ERROR_DEVICE_NOT_CONNECTED;
    case ENOTTY:
    case EOPNOTSUPP:
      return ERROR_NOT_SUPPORTED;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EPIPE:
      return ERROR_BROKEN_PIPE;
    case ECANCELED:
      return ERROR_OPERATION_ABORTED;
    case ETIMEDOUT:
      return ERROR_TIMEOUT;
  }
  return ERROR_GEN_FAILURE;
}

DWORD FormatMessageA(DWORD flags, const void*, DWORD messageId, DWORD, char* buffer, DWORD size,
                     void*) {
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || buffer == nullptr || size == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const char* text = KnownText(messageId);
  if (text == nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);  // no text for that number
    return 0;
  }
  std::string line = std::string(text) + "\r\n";
  if (line.size() + 1 > size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, line.c_str(), line.size() + 1);
  return static_cast<DWORD>(line.size());
}
