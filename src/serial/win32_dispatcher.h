// The dispatcher over the platform's serial device calls: opens and closes
// the device and runs the event and output threads.
#pragma once

#include "serial/dispatcher.h"

namespace ser {

class TSerWin32Dispatcher : public TSerBaseDispatcher {
 public:
  explicit TSerWin32Dispatcher(TSerCustomComPort* owner);
  ~TSerWin32Dispatcher() override;

  int DeviceEscape(DWORD code) override;
  int PurgeDevice(int which) override;
  DWORD ReadDeviceStatus(TSerDeviceStatus& status) override;
  void NoteReadFailure(int code) override;
  int ReadDeviceSettings(DCB& settings) override;
  int ReadDevice(void* buffer, DWORD size) override;
  int WriteDeviceSettings(const DCB& settings) override;
  int QueueOutput(const void* data, DWORD count) override;
  bool WaitDeviceEvent(DWORD& mask, OVERLAPPED& overlapped) override;
  bool SizeDeviceQueues(DWORD inSize, DWORD outSize) override;
  // Raises std::logic_error "Dispatcher already started" while threads run.
  void StartThreads() override;
  void StopThreads() override;
  int OpenDevice(const std::string& name, DWORD inSize, DWORD outSize) override;
  int CloseDevice() override;
  int YieldSlice() override;
  DevicePresence ReadDevicePresence() override;

 protected:
  friend class TComThread;
  friend class TOutThread;

  void RunEventThread();
  void RunOutputThread();
  // Writes the output ring to the device; false when a discard or stop
  // interrupted a pending write.
  bool DrainOutput(OVERLAPPED& overlapped);
  // Ends the event and output threads, which only need the device.
  void EndDeviceThreads();
  // Closes the dispatcher down before the derived parts go: every
  // most-derived destructor calls it first; repeated calls do nothing.
  void Shutdown();

  // The read event of ReadDevice's overlapped record, made with the device.
  HANDLE ReadEvent = nullptr;
};

}  // namespace ser
