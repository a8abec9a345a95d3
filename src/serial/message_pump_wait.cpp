#include "serial/message_pump_wait.h"

#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/sync.h"

namespace ser {

DWORD WaitPumpingMessages(HANDLE handle, DWORD milliseconds) {
  const DWORD start = timeGetTime();
  // A quit taken from the queue is held back and posted again at the end:
  // posting it at once would wake this wait again and again.
  bool quitSeen = false;
  int quitCode = 0;
  DWORD outcome = WAIT_TIMEOUT;
  for (;;) {
    DWORD remaining = INFINITE;
    if (milliseconds != INFINITE) {
      DWORD elapsed = timeGetTime() - start;
      if (elapsed >= milliseconds) break;
      remaining = milliseconds - elapsed;
    }
    DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, remaining, QS_ALLINPUT);
    if (result != WAIT_OBJECT_0 + 1) {
      if (result != WAIT_TIMEOUT) outcome = result;
      break;
    }
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) continue;
    if (msg.message == WM_QUIT) {
      quitSeen = true;
      quitCode = static_cast<int>(msg.wParam);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (quitSeen) PostQuitMessage(quitCode);
  return outcome;
}

}  // namespace ser
