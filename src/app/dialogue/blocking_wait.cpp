#include "app/dialogue/blocking_wait.h"

#include "platform/clock.h"

namespace {

WaitFunction gWait = &Sleep;

}  // namespace

void BlockingWait(DWORD milliseconds) {
  gWait(milliseconds);
}

WaitFunction SetBlockingWait(WaitFunction wait) {
  WaitFunction previous = gWait;
  gWait = wait ? wait : &Sleep;
  return previous;
}
