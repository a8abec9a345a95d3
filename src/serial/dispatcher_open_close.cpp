// Opening and closing the line: OpenLine, CloseLine, ReleaseLine.
#include <exception>

#include "platform/errors.h"
#include "serial/dispatcher.h"
#include "serial/ms_clock.h"
#include "serial/result_codes.h"
#include "serial/section_hold.h"

namespace ser {

namespace {

int OpenFailure() {
  DWORD error = GetLastError();
  if (error == ERROR_PORT_PERMISSION_DENIED) return ecPermissionDenied;
  if (error == ERROR_SUCCESS) return ecBadHandle;
  return -static_cast<int>(error);
}

}  // namespace

int TSerBaseDispatcher::OpenLine(const std::string& deviceName, DWORD baud, BYTE parity,
                                 BYTE dataBits, BYTE stopBits, WORD inQueueSize, WORD outSize,
                                 BYTE lineFlags) {
  // Opening over a line that is still open or still winding down would
  // replace events and rings that running threads use.
  if (DeviceHandle.load() != INVALID_HANDLE_VALUE || ThreadsRunning) return ecAlreadyOpen;
  RingLatched = false;
  Delivering = false;
  {
    SectionHold hold(DispatcherLock);
    TargetsChanged = false;
    // A device gone at an earlier opening is not this one's.
    for (auto& target : WindowTargets) target.ToldGone = false;
    for (auto& target : ProcTargets) target.ToldGone = false;
    for (auto& target : EventTargets) target.ToldGone = false;
  }
  Gone = DevicePresence::kPresent;
  PresenceLookedAt = 0;
  if (!CreateEvents()) {
    CloseEvents();
    return ecOutOfMemory;
  }
  int result = OpenDevice(deviceName, inQueueSize, outSize);
  if (result < 0) {
    result = result == ecOutOfMemory ? ecOutOfMemory : OpenFailure();
    CloseLine();
    return result;
  }
  if (!SizeDeviceQueues(inQueueSize, outSize)) {
    result = OpenFailure();
    CloseLine();
    return result;
  }
  {
    SectionHold in(InputLock);
    SectionHold out(OutputLock);
    InBuf = std::span<BYTE>(InRing.get(), kInRingSize);
    OutBuf.assign(outSize, 0);
    OutHead = OutTail = 0;
    OutFull = false;
    InQueueSize = inQueueSize;
    OutSize = outSize;
    InFull = false;
    InHead = InTail = 0;
    InsideAvail = false;
    CloseOffer();
  }
  LineErrors = 0;
  OutputSent = false;
  Closing = false;
  {
    SectionHold hold(DispatcherLock);
    RS485On = false;
    ReadDeviceSettings(DeviceSettings);
    DtrAuto = (lineFlags & lfDtrAuto) != 0;
    RtsAuto = (lineFlags & lfRtsAuto) != 0;
  }
  if (!DtrAuto) SetDtrState((lineFlags & lfDtrOn) != 0);
  if (!RtsAuto) SetRtsState((lineFlags & lfRtsOn) != 0);
  ScanPos = 0;
  AvailNotifiedPos = 0;
  ReadSinceAvail = 0;
  StatusHit = false;
  ClearTriggers();
  {
    SectionHold hold(DispatcherLock);
    ModemStatus = 0;
  }
  ReadModemStatus(0xF0);
  {
    SectionHold hold(DispatcherLock);
    AppliedBaud = 115200;
  }
  result = SetLineParams(baud, parity, dataBits, stopBits);
  if (result < 0) {
    CloseLine();
    return result;
  }
  RefreshLineErrors();
  {
    SectionHold hold(DispatcherLock);
    Trace.DropTrace();
    Log.DropLog();
    ClockBase = MillisecondClock();
    Log.SetClockBase(ClockBase);
    Log.SetDeviceName(DeviceName);
  }
  try {
    StartThreads();
  } catch (const std::exception&) {
    CloseLine();
    return ecOutOfMemory;
  }
  return ecOK;
}

void TSerBaseDispatcher::CloseLine() {
  if (DeviceHandle.load() != INVALID_HANDLE_VALUE) {
    DiscardOutput();
    DiscardInput();
    CloseDevice();
  }
  // Inside a handler the dispatch thread is waiting for us: it releases the
  // line itself once the handler has returned.
  if (Delivering) {
    Closing = true;
  } else {
    ReleaseLine();
  }
}

// StopThreads is called without DispatcherLock: the dispatch thread may need
// that lock to finish its pass, and we wait for it to end. One that outlasts
// the stop may still read the rings: they are left to it, and it releases
// them as it ends.
void TSerBaseDispatcher::ReleaseLine() {
  ReleaseOnExit = false;
  if (ThreadsRunning) StopThreads();
  {
    std::lock_guard<std::mutex> hold(ThreadRefLock);
    if (DispThreadRef) {
      ReleaseOnExit = true;
      return;
    }
  }
  SectionHold in(InputLock);
  SectionHold out(OutputLock);
  CloseOffer();
  InBuf = {};
  OutBuf.clear();
  OutBuf.shrink_to_fit();
  InHead = InTail = 0;
  InFull = false;
  OutHead = OutTail = 0;
  OutFull = false;
  OutSize = 0;
}

}  // namespace ser
