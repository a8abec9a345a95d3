// The Tracing and Logging states: what each state change asks of the open
// dispatcher's trace or dispatch log, and the sizes of both stores.
#include <algorithm>

#include "serial/dispatch_log.h"
#include "serial/trace.h"
#include "serial/ui/check_result.h"
#include "serial/ui/com_port.h"

namespace {

bool Running(TTraceLogState state) {
  return state == tlOn || state == tlPause;
}

}  // namespace

void TSerCustomComPort::SetTracing(TTraceLogState value) {
  ApplyRecorderState(rcTrace, value);
}

void TSerCustomComPort::SetLogging(TTraceLogState value) {
  ApplyRecorderState(rcLog, value);
}

void TSerCustomComPort::ApplyRecorderState(TRecorder recorder, TTraceLogState value) {
  TTraceLogState& state = recorder == rcTrace ? tracing_ : logging_;
  if (value == state && !ForceApply) return;
  if (OpenState != osOpen || !ActiveDispatcher) {
    // Only a wish to record survives a closed port.
    state = (value == tlOn) ? tlOn : tlOff;
    return;
  }
  ser::TSerBaseDispatcher& d = *ActiveDispatcher;
  const bool trace = recorder == rcTrace;
  switch (value) {
    case tlOff:
      if (!Running(state)) return;
      trace ? d.DropTrace() : d.DropLog();
      state = tlOff;
      return;
    case tlOn:
      if (state == tlPause) {
        trace ? d.ResumeTrace() : d.ResumeLog();
      } else if (trace) {
        ser::CheckResult(this, d.OpenTrace(traceSize_));
      } else {
        // A log whose file could not be written stays, paused; opening only
        // empties it, so recording must be switched back on as well.
        d.OpenLog(logSize_);
        d.ResumeLog();
      }
      state = tlOn;
      return;
    case tlDump:
    case tlAppend: {
      // A log whose file could not be written is kept, paused, with the
      // state tlOff: a dump under another name still writes it.
      const bool keptLog = !trace && d.Log.HasLog();
      if (!Running(state) && !keptLog) return;
      const bool append = value == tlAppend;
      int result;
      if (trace) {
        d.ResumeTrace();
        result = d.WriteTraceFile(traceName_, append, traceHex_, traceAllHex_);
      } else {
        d.ResumeLog();
        result = d.WriteLogFile(logName_, append, logHex_, logAllHex_);
      }
      state = tlOff;
      ser::CheckResult(this, result);
      return;
    }
    case tlClear:
      if (!Running(state)) return;
      if (trace) {
        ser::CheckResult(this, d.ResetTrace());
      } else {
        d.ResetLog();
      }
      return;
    case tlPause:
      if (state != tlOn) return;
      trace ? d.PauseTrace() : d.PauseLog();
      state = tlPause;
      return;
  }
}

void TSerCustomComPort::ChangeRecorderSize(TRecorder recorder) {
  TTraceLogState& state = recorder == rcTrace ? tracing_ : logging_;
  if (OpenState != osOpen || !ActiveDispatcher || !Running(state)) return;
  // The store is made again at the new size; a paused one is not restored.
  TTraceLogState previous = state;
  recorder == rcTrace ? ActiveDispatcher->DropTrace() : ActiveDispatcher->DropLog();
  state = tlOff;
  ApplyRecorderState(recorder, previous);
}

void TSerCustomComPort::SetTraceSize(DWORD value) {
  value = std::min(value, ser::kMaxTraceEntries);
  if (value == traceSize_) return;
  traceSize_ = value;
  ChangeRecorderSize(rcTrace);
}

void TSerCustomComPort::SetLogSize(DWORD value) {
  value = std::min(value, ser::kMaxLogBytes);
  if (value == logSize_) return;
  logSize_ = value;
  ChangeRecorderSize(rcLog);
}
