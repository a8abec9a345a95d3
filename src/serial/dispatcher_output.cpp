// The output ring: queueing blocks, its fill level, discarding it.
#include "serial/dispatcher.h"
#include "serial/result_codes.h"
#include "serial/section_hold.h"
#include "serial/thread_class.h"

namespace ser {

// All or nothing: a block that does not fit is refused whole, so the caller
// can try again once the output has drained.
int TSerBaseDispatcher::WriteBlock(const void* data, DWORD count) {
  if (count == 0) return ecOK;
  if (DeviceHandle.load() == INVALID_HANDLE_VALUE) return ecCommNotOpen;
  {
    SectionHold hold(OutputLock);
    TSerDeviceStatus status;
    // Added to, not replaced: errors not yet asked for must not be lost.
    LineErrors |= ReadDeviceStatus(status) & 0x1F;
    DWORD freeSpace = OutSize - status.OutCount;
    if (count > freeSpace) return ecOutputBufferTooSmall;
    if (count == freeSpace) OutFull = true;
    if (QueueOutput(data, count) <= 0) {
      RefreshLineErrors();
      return ecPutBlockFail;
    }
    OutputSent = true;
  }
  SectionHold hold(DispatcherLock);
  if (Log.LogOn()) Log.RecordLogEntry(lkDispatch, lsWriteCom, count, count, data);
  if (Trace.TraceOn()) {
    const BYTE* bytes = static_cast<const BYTE*>(data);
    for (DWORD i = 0; i < count; ++i) Trace.RecordTrace('T', bytes[i]);
  }
  return ecOK;
}

DWORD TSerBaseDispatcher::OutputUsed() {
  SectionHold hold(OutputLock);
  TSerDeviceStatus status;
  ReadDeviceStatus(status);
  return status.OutCount;
}

DWORD TSerBaseDispatcher::OutputFree() {
  SectionHold hold(OutputLock);
  return OutSize - OutputUsed();
}

int TSerBaseDispatcher::DiscardOutput() {
  bool outputThread;
  {
    std::lock_guard<std::mutex> hold(ThreadRefLock);
    outputThread = OutThreadRef != nullptr;
  }
  if (outputThread) {
    Signal(OutFlushEvent);
    if (HANDLE general = GeneralEvent.load()) WaitForSingleObject(general, 5000);
    SectionHold hold(OutputLock);
    OutFull = false;
    OutHead = OutTail = 0;
  }
  return PurgeDevice(0);
}

}  // namespace ser
