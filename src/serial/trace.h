// The trace: a bounded store of the most recent characters that passed the
// line, each marked received ('R') or transmitted ('T'), written to a text
// file on request. Owned by a dispatcher; every operation holds the
// dispatcher's lock, which the trace is given and has none of its own.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "platform/sync.h"

namespace ser {

constexpr DWORD kMaxTraceEntries = 4000000;

class TSerTrace {
 public:
  explicit TSerTrace(CRITICAL_SECTION& dispatcherLock);

  int OpenTrace(DWORD entries);
  void RecordTrace(char kind, BYTE value);
  int ResetTrace();
  void DropTrace();
  void ResumeTrace();
  void PauseTrace();
  int WriteTraceFile(const std::string& fileName, bool append, bool hex, bool allHex);

  // Recording is active. Read without the lock: a caller only decides by it
  // whether to record, which takes the lock.
  bool TraceOn() const { return traceOn_; }
  bool HasStore() const;  // a store exists (recording or paused)

 private:
  // Makes the trace absent; the caller holds the lock.
  void FreeStore();

  CRITICAL_SECTION& lock_;
  std::vector<BYTE> traceBuf_;  // 2 bytes an entry: kind, byte
  DWORD traceCapacity_ = 0;
  DWORD tracePos_ = 0;
  bool traceWrapped_ = false;
  std::atomic<bool> traceOn_{false};  // written under the lock
  bool traceExists_ = false;          // apart from the buffer: a store may have no entries
};

}  // namespace ser
