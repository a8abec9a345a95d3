// A dispatcher for a device handle that a telephony layer has already opened:
// OpenDevice adopts that handle instead of opening a device by name.
#pragma once

#include "serial/win32_dispatcher.h"

namespace ser {

class TSerTAPI32Dispatcher : public TSerWin32Dispatcher {
 public:
  TSerTAPI32Dispatcher(TSerCustomComPort* owner, HANDLE lineHandle);
  ~TSerTAPI32Dispatcher() override;

  // Creates only the read event; -2007 (last error 2007) when the handle is 0.
  int OpenDevice(const std::string& name, DWORD inSize, DWORD outSize) override;

 private:
  HANDLE lineHandle_;
};

}  // namespace ser
