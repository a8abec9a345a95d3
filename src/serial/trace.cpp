#include "serial/trace.h"

#include "serial/result_codes.h"
#include "serial/section_hold.h"
#include "serial/text_file_writer.h"
#include "serial/trace_render.h"

namespace ser {

TSerTrace::TSerTrace(CRITICAL_SECTION& dispatcherLock) : lock_(dispatcherLock) {}

int TSerTrace::OpenTrace(DWORD entries) {
  SectionHold hold(lock_);
  if (!traceExists_) {
    if (entries > kMaxTraceEntries) return ecBadArgument;
    traceBuf_.assign(2 * static_cast<std::size_t>(entries), 0);
    traceCapacity_ = entries;
    traceExists_ = true;
  }
  tracePos_ = 0;
  traceWrapped_ = false;
  traceOn_ = true;
  return ecOK;
}

void TSerTrace::RecordTrace(char kind, BYTE value) {
  SectionHold hold(lock_);
  // A store of no entries exists but has nowhere to put one.
  if (!traceExists_ || traceCapacity_ == 0) return;
  traceBuf_[2 * tracePos_] = static_cast<BYTE>(kind);
  traceBuf_[2 * tracePos_ + 1] = value;
  if (++tracePos_ == traceCapacity_) {
    tracePos_ = 0;
    traceWrapped_ = true;
  }
}

int TSerTrace::ResetTrace() {
  SectionHold hold(lock_);
  tracePos_ = 0;
  traceWrapped_ = false;
  return ecOK;
}

void TSerTrace::DropTrace() {
  SectionHold hold(lock_);
  FreeStore();
}

void TSerTrace::ResumeTrace() {
  SectionHold hold(lock_);
  if (traceExists_) traceOn_ = true;
}

void TSerTrace::PauseTrace() {
  SectionHold hold(lock_);
  traceOn_ = false;
}

int TSerTrace::WriteTraceFile(const std::string& fileName, bool append, bool hex, bool allHex) {
  SectionHold hold(lock_);
  if (!traceExists_) return ecOK;
  traceOn_ = false;
  DWORD first = traceWrapped_ ? tracePos_ : 0;
  DWORD count = traceWrapped_ ? traceCapacity_ : tracePos_;
  if (count == 0) {
    FreeStore();
    return ecOK;
  }
  TextFileWriter file;
  if (DWORD error = file.Open(fileName, append); error != 0) {
    FreeStore();
    return -static_cast<int>(error);
  }
  TraceRenderer renderer(file, hex, allHex);
  // Oldest first: from `first` to the end of the store, then what wrapped.
  renderer.Add(traceBuf_.data() + 2 * std::size_t{first}, count - first);
  renderer.Add(traceBuf_.data(), first);
  DWORD error = file.Close();
  FreeStore();
  return -static_cast<int>(error);
}

bool TSerTrace::HasStore() const {
  SectionHold hold(lock_);
  return traceExists_;
}

void TSerTrace::FreeStore() {
  traceOn_ = false;
  traceExists_ = false;
  std::vector<BYTE>().swap(traceBuf_);
  traceCapacity_ = 0;
  tracePos_ = 0;
  traceWrapped_ = false;
}

}  // namespace ser
