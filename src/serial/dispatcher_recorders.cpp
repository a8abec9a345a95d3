// The dispatcher's trace and dispatch log operations: the recorders hold the
// dispatcher's lock themselves.
#include "serial/dispatcher.h"

namespace ser {

int TSerBaseDispatcher::OpenTrace(DWORD entries) {
  return Trace.OpenTrace(entries);
}

int TSerBaseDispatcher::WriteTraceFile(const std::string& fileName, bool append, bool hex,
                                       bool allHex) {
  return Trace.WriteTraceFile(fileName, append, hex, allHex);
}

int TSerBaseDispatcher::ResetTrace() {
  return Trace.ResetTrace();
}
void TSerBaseDispatcher::DropTrace() {
  Trace.DropTrace();
}
void TSerBaseDispatcher::ResumeTrace() {
  Trace.ResumeTrace();
}
void TSerBaseDispatcher::PauseTrace() {
  Trace.PauseTrace();
}
void TSerBaseDispatcher::OpenLog(DWORD bytes) {
  Log.OpenLog(bytes);
}

int TSerBaseDispatcher::WriteLogFile(const std::string& fileName, bool append, bool hex,
                                     bool allHex) {
  Log.SetDeviceName(DeviceName);
  return Log.WriteLogFile(fileName, append, hex, allHex);
}

void TSerBaseDispatcher::ResetLog() {
  Log.ResetLog();
}
void TSerBaseDispatcher::DropLog() {
  Log.DropLog();
}
void TSerBaseDispatcher::ResumeLog() {
  Log.ResumeLog();
}
void TSerBaseDispatcher::PauseLog() {
  Log.PauseLog();
}

}  // namespace ser
