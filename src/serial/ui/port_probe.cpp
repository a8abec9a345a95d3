#include "serial/ui/port_probe.h"

#include <string>

#include "platform/errors.h"
#include "serial/win32_dispatcher.h"

bool PortExists(unsigned n) {
  if (n == 0) return false;
  // A dispatcher of its own, with no owner: the probe must not disturb a port
  // component, and leaves the table again when it goes.
  ser::TSerWin32Dispatcher probe(nullptr);
  constexpr DWORD kProbeQueueSize = 64;
  if (probe.OpenDevice("\\\\.\\COM" + std::to_string(n), kProbeQueueSize, kProbeQueueSize) >= 0) {
    probe.CloseDevice();
    return true;
  }
  // A port this user may not open is listed too, so that opening it can say
  // why it fails instead of the port silently missing from the list.
  DWORD error = GetLastError();
  return error == ERROR_ACCESS_DENIED || error == ERROR_PORT_PERMISSION_DENIED;
}
