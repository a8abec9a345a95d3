// The dispatch log: a circular byte store of the most recent dispatcher
// events (16-byte records plus their extra bytes), each stamped with the
// milliseconds since the port opened, written to a text file on request.
// Owned by a dispatcher; every operation holds the dispatcher's lock.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "platform/sync.h"
#include "serial/log_record.h"
#include "serial/ms_clock.h"

namespace ser {

constexpr DWORD kMaxLogBytes = 16000000;

// Kinds and sub-kinds of the entries the dispatcher writes.
constexpr BYTE lkDispatch = 1, lkTrigger = 2, lkTrgHdAlc = 7, lkTrgHdDsp = 8, lkTrDatChg = 9;
constexpr BYTE lsReadCom = 1, lsWriteCom = 2, lsModemStatus = 4, lsAvail = 5, lsTimer = 6,
               lsData = 7, lsStatus = 8, lsWindow = 17;

class TSerDispatchLog {
 public:
  // `clock` gives the milliseconds entries are stamped with; tests pass
  // their own to get repeatable times.
  explicit TSerDispatchLog(CRITICAL_SECTION& dispatcherLock, DWORD (*clock)() = MillisecondClock);

  void OpenLog(DWORD bytes);
  void RecordLogEntry(BYTE kind, BYTE subKind, DWORD data, DWORD extraCount, const void* extra);
  void ResetLog();
  void DropLog();
  void ResumeLog();
  void PauseLog();
  int WriteLogFile(const std::string& fileName, bool append, bool hex, bool allHex);

  // Recording is active. Read without the lock: a caller only decides by it
  // whether to record, which takes the lock.
  bool LogOn() const { return logOn_; }
  bool HasLog() const;
  // Set at every open: entry times count from here; the name heads the file.
  void SetClockBase(DWORD milliseconds);
  void SetDeviceName(const std::string& name);

 private:
  // The caller holds the lock for these.
  bool LogStore(const BYTE* bytes, DWORD count);
  // Removes the oldest entry into `record`; true when empty. With `extra`,
  // points it at the entry's extra bytes: in the store, or in logScratch_
  // when they wrap past its end (valid until the next change).
  bool LogTakeNext(LogRecord& record, const BYTE** extra = nullptr);
  // Frees `count` bytes at the tail; returns where they are: in the store,
  // or copied to `scratch` (when given) when they wrap past its end.
  const BYTE* TakeOut(DWORD count, BYTE* scratch);
  void FreeLog();

  CRITICAL_SECTION& lock_;
  DWORD (*clock_)();
  std::vector<BYTE> logBuf_;
  DWORD logCapacity_ = 0;
  DWORD logHead_ = 0;  // where the next entry is stored
  DWORD logTail_ = 0;  // where the oldest entry starts
  DWORD logFree_ = 0;
  std::atomic<bool> logOn_{false};  // written under the lock
  bool logExists_ = false;          // apart from the buffer: a log may have no bytes
  // One entry's extra bytes while dumping; grows with the largest stored.
  std::vector<BYTE> logScratch_;
  DWORD clockBase_ = 0;
  std::string deviceName_;
};

}  // namespace ser
