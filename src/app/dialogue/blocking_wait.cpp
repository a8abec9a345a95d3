#include "app/dialogue/blocking_wait.h"

#include "platform/clock.h"

void BlockingWait(DWORD milliseconds) {
  Sleep(milliseconds);
}
