#include "serial/message_pump.h"

#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/sync.h"

namespace ser {

void PumpOneMessage() {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return;
  if (msg.message == WM_QUIT) {
    PostQuitMessage(static_cast<int>(msg.wParam));
    return;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

DWORD WaitPumpingMessages(HANDLE handle, DWORD milliseconds) {
  const DWORD start = timeGetTime();
  for (;;) {
    DWORD remaining = INFINITE;
    if (milliseconds != INFINITE) {
      DWORD elapsed = timeGetTime() - start;
      if (elapsed >= milliseconds) return WAIT_TIMEOUT;
      remaining = milliseconds - elapsed;
    }
    DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, remaining, QS_ALLINPUT);
    if (result != WAIT_OBJECT_0 + 1) return result;
    PumpOneMessage();
  }
}

}  // namespace ser
