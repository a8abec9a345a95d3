#include "serial/tapi_dispatcher.h"

#include "platform/errors.h"
#include "serial/result_codes.h"

namespace ser {

TSerTAPI32Dispatcher::TSerTAPI32Dispatcher(TSerCustomComPort* owner, HANDLE lineHandle)
    : TSerWin32Dispatcher(owner), lineHandle_(lineHandle) {}

TSerTAPI32Dispatcher::~TSerTAPI32Dispatcher() {
  Shutdown();
}

int TSerTAPI32Dispatcher::OpenDevice(const std::string&, DWORD, DWORD) {
  if (lineHandle_ == nullptr) {
    SetLastError(static_cast<DWORD>(-ecCommNotOpen));
    return ecCommNotOpen;
  }
  ReadEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (ReadEvent == nullptr) return -8;
  DeviceHandle = lineHandle_;
  return 0;
}

}  // namespace ser
