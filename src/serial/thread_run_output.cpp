// The output thread: writes the output ring to the device, wrapped content
// rearranged first so that one write takes all of it.
#include <algorithm>

#include "platform/errors.h"
#include "serial/section_hold.h"
#include "serial/win32_dispatcher.h"

namespace ser {

void TSerWin32Dispatcher::RunOutputThread() {
  OVERLAPPED overlapped{};
  overlapped.hEvent = SentEvent.load();
  Signal(GeneralEvent);
  while (!StopRequested && !Closing) {
    HANDLE waits[2] = {OutputEvent.load(), OutFlushEvent.load()};
    DWORD result = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (result == WAIT_OBJECT_0) {
      if (StopRequested) break;
      DrainOutput(overlapped);
    } else if (result == WAIT_OBJECT_0 + 1) {
      Signal(GeneralEvent);  // acknowledges a discard
    } else {
      break;  // a failed wait would fail again at once
    }
  }
}

bool TSerWin32Dispatcher::DrainOutput(OVERLAPPED& overlapped) {
  // Takes n bytes off the ring; n is the whole chunk when a write failed,
  // so those bytes are dropped and draining goes on.
  auto advance = [this](DWORD n) {
    SectionHold hold(OutputLock);
    if (OutSize == 0) return;
    OutTail += n;
    if (OutTail >= OutSize) OutTail = 0;
    if (OutTail == OutHead) OutHead = OutTail = 0;
    OutFull = false;
  };
  for (;;) {
    DWORD start, count;
    {
      SectionHold hold(OutputLock);
      if (OutBuf.empty() || (!OutFull && OutHead == OutTail)) return true;
      if (OutHead > OutTail) {
        start = OutTail;
        count = OutHead - OutTail;
      } else if (OutHead == 0) {
        start = OutTail;
        count = OutSize - OutTail;
      } else {
        std::rotate(OutBuf.begin(), OutBuf.begin() + OutTail, OutBuf.end());
        OutHead += OutSize - OutTail;
        OutTail = 0;
        start = 0;
        count = OutHead;
        if (OutHead == OutSize) OutHead = 0;
      }
    }
    DWORD written = 0;
    BOOL done;
    DWORD error;
    {
      std::shared_lock<std::shared_mutex> device(DeviceLock);
      done = WriteFile(DeviceHandle.load(), &OutBuf[start], count, &written, &overlapped);
      error = done ? ERROR_SUCCESS : GetLastError();
    }
    if (done) {
      advance(written);
      continue;
    }
    if (error != ERROR_IO_PENDING) {
      advance(count);
      continue;
    }
    for (;;) {
      HANDLE waits[2] = {SentEvent.load(), OutFlushEvent.load()};
      DWORD result = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
      if (result != WAIT_OBJECT_0) {
        // The write's record lives in this thread's frame, which may end
        // once we return: it is aborted first, so nothing completes into it.
        {
          std::shared_lock<std::shared_mutex> device(DeviceLock);
          PurgeComm(DeviceHandle.load(), PURGE_TXABORT);
        }
        if (result == WAIT_OBJECT_0 + 1) Signal(GeneralEvent);
        return false;
      }
      // Reset before asking, so a completion after the question still wakes us.
      Reset(SentEvent);
      BOOL finished;
      {
        std::shared_lock<std::shared_mutex> device(DeviceLock);
        finished = GetOverlappedResult(DeviceHandle.load(), &overlapped, &written, FALSE);
        error = finished ? ERROR_SUCCESS : GetLastError();
      }
      if (error == ERROR_IO_INCOMPLETE) continue;
      // A write that failed after pending is dropped like one that failed at
      // once; retrying it would repeat the failure without end.
      advance(finished ? written : count);
      break;
    }
  }
}

}  // namespace ser
