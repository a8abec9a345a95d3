// The dispatch log: a circular byte store of the most recent dispatcher
// events (16-byte records plus their extra bytes), each stamped with the
// milliseconds since the port opened, written to a text file on request.
// Owned by a dispatcher; every operation holds the dispatcher's lock.
#pragma once

#include <string>
#include <vector>

#include "platform/sync.h"

namespace ser {

constexpr DWORD kMaxLogBytes = 16000000;

// Kinds and sub-kinds of the entries the dispatcher writes.
constexpr BYTE lkDispatch = 1, lkTrigger = 2, lkTrgHdAlc = 7, lkTrgHdDsp = 8, lkTrDatChg = 9;
constexpr BYTE lsReadCom = 1, lsWriteCom = 2, lsModemStatus = 4, lsAvail = 5, lsTimer = 6,
               lsData = 7, lsStatus = 8, lsWindow = 17;

class TSerDispatchLog {
 public:
  explicit TSerDispatchLog(CRITICAL_SECTION& dispatcherLock);

  void OpenLog(DWORD bytes);
  void RecordLogEntry(BYTE kind, BYTE subKind, DWORD data, DWORD extraCount, const void* extra);
  void ResetLog();
  void DropLog();
  void ResumeLog();
  void PauseLog();
  int WriteLogFile(const std::string& fileName, bool append, bool hex, bool allHex);

  bool LogOn() const;
  bool HasLog() const;
  // Set at every open: entry times count from here; the name heads the file.
  void SetClockBase(DWORD milliseconds);
  void SetDeviceName(const std::string& name);

 private:
  CRITICAL_SECTION& lock_;
  // The implementation adds the store's fields (LogBuf, LogHead, ...).
};

}  // namespace ser
