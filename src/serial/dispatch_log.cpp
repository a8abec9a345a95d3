#include "serial/dispatch_log.h"

#include <algorithm>
#include <cstring>

#include "serial/log_render.h"
#include "serial/section_hold.h"
#include "serial/text_file_writer.h"

namespace ser {

namespace {

// The largest block one device read logs; larger entries grow the scratch.
constexpr std::size_t kInitialScratchBytes = 8192;

}  // namespace

TSerDispatchLog::TSerDispatchLog(CRITICAL_SECTION& dispatcherLock, DWORD (*clock)())
    : lock_(dispatcherLock), clock_(clock) {}

void TSerDispatchLog::OpenLog(DWORD bytes) {
  SectionHold hold(lock_);
  if (!logExists_) {
    logBuf_.assign(bytes, 0);
    logCapacity_ = bytes;
    logScratch_.assign(kInitialScratchBytes, 0);
    logExists_ = true;
    logOn_ = true;
  }
  logHead_ = logTail_ = 0;
  logFree_ = logCapacity_;
}

void TSerDispatchLog::RecordLogEntry(BYTE kind, BYTE subKind, DWORD data, DWORD extraCount,
                                     const void* extra) {
  SectionHold hold(lock_);
  if (!logOn_) return;
  if (extra == nullptr) extraCount = 0;
  // A record must never announce extra bytes the log could not keep.
  if (std::uint64_t{kLogRecordSize} + extraCount >= logCapacity_) return;
  if (extraCount > logScratch_.size()) logScratch_.resize(extraCount);
  LogRecord record{kind, subKind, clock_() - clockBase_, data, extraCount};
  BYTE packed[kLogRecordSize];
  PackLogRecord(record, packed);
  if (LogStore(packed, kLogRecordSize) && extraCount != 0) {
    LogStore(static_cast<const BYTE*>(extra), extraCount);
  }
}

bool TSerDispatchLog::LogStore(const BYTE* bytes, DWORD count) {
  if (count >= logCapacity_) return false;
  LogRecord discarded;
  while (logFree_ < count && !LogTakeNext(discarded)) {
  }
  DWORD first = std::min(count, logCapacity_ - logHead_);
  std::memcpy(logBuf_.data() + logHead_, bytes, first);
  std::memcpy(logBuf_.data(), bytes + first, count - first);
  logHead_ = (logHead_ + count) % logCapacity_;
  logFree_ -= count;
  return true;
}

const BYTE* TSerDispatchLog::TakeOut(DWORD count, BYTE* scratch) {
  const BYTE* at = logBuf_.data() + logTail_;
  const DWORD first = std::min(count, logCapacity_ - logTail_);
  if (first < count && scratch != nullptr) {
    std::memcpy(scratch, at, first);
    std::memcpy(scratch + first, logBuf_.data(), count - first);
    at = scratch;
  }
  logTail_ = (logTail_ + count) % logCapacity_;
  logFree_ += count;
  return at;
}

bool TSerDispatchLog::LogTakeNext(LogRecord& record, const BYTE** extra) {
  if (logFree_ == logCapacity_) return true;
  BYTE packed[kLogRecordSize];
  record = UnpackLogRecord(TakeOut(kLogRecordSize, packed));
  const BYTE* bytes = TakeOut(record.extraCount, extra ? logScratch_.data() : nullptr);
  if (extra != nullptr) *extra = bytes;
  return false;
}

void TSerDispatchLog::ResetLog() {
  SectionHold hold(lock_);
  logHead_ = logTail_ = 0;
  logFree_ = logCapacity_;
}

void TSerDispatchLog::DropLog() {
  SectionHold hold(lock_);
  FreeLog();
}

void TSerDispatchLog::ResumeLog() {
  SectionHold hold(lock_);
  if (logExists_) logOn_ = true;
}

void TSerDispatchLog::PauseLog() {
  SectionHold hold(lock_);
  logOn_ = false;
}

int TSerDispatchLog::WriteLogFile(const std::string& fileName, bool append, bool hex, bool allHex) {
  SectionHold hold(lock_);
  if (!logExists_ || logFree_ == logCapacity_) {
    FreeLog();
    return 0;
  }
  logOn_ = false;
  TextFileWriter file;
  // The log stays, paused, so the user can still write it elsewhere.
  if (DWORD error = file.Open(fileName, append); error != 0) return -static_cast<int>(error);
  LogRenderer renderer(file, hex, allHex);
  renderer.Header(deviceName_, LogDateTimeNow());
  LogRecord record;
  const BYTE* extra = nullptr;
  while (!LogTakeNext(record, &extra)) renderer.Entry(record, extra);
  DWORD error = file.Close();
  FreeLog();
  return -static_cast<int>(error);
}

bool TSerDispatchLog::HasLog() const {
  SectionHold hold(lock_);
  return logExists_;
}

void TSerDispatchLog::SetClockBase(DWORD milliseconds) {
  SectionHold hold(lock_);
  clockBase_ = milliseconds;
}

void TSerDispatchLog::SetDeviceName(const std::string& name) {
  SectionHold hold(lock_);
  deviceName_ = name;
}

void TSerDispatchLog::FreeLog() {
  logOn_ = false;
  logExists_ = false;
  std::vector<BYTE>().swap(logBuf_);
  std::vector<BYTE>().swap(logScratch_);
  logCapacity_ = logHead_ = logTail_ = logFree_ = 0;
}

}  // namespace ser
