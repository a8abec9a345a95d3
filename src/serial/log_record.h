// The fixed part of a dispatch-log entry and its 16-byte stored form.
#pragma once

#include <cstring>

#include "platform/win_types.h"

namespace ser {

constexpr DWORD kLogRecordSize = 16;

struct LogRecord {
  BYTE kind = 0;
  BYTE subKind = 0;
  DWORD time = 0;  // milliseconds since the port opened
  DWORD data = 0;
  DWORD extraCount = 0;  // bytes that follow the record
};

// Layout: kind, sub-kind, two unused bytes, time, data word, extra count.
inline void PackLogRecord(const LogRecord& record, BYTE* out) {
  out[0] = record.kind;
  out[1] = record.subKind;
  out[2] = out[3] = 0;
  std::memcpy(out + 4, &record.time, 4);
  std::memcpy(out + 8, &record.data, 4);
  std::memcpy(out + 12, &record.extraCount, 4);
}

inline LogRecord UnpackLogRecord(const BYTE* in) {
  LogRecord record;
  record.kind = in[0];
  record.subKind = in[1];
  std::memcpy(&record.time, in + 4, 4);
  std::memcpy(&record.data, in + 8, 4);
  std::memcpy(&record.extraCount, in + 12, 4);
  return record;
}

}  // namespace ser
