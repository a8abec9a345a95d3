// Writing a full trace (4,000,000 entries) and a full dispatch log (16 MB),
// in MB/s of file text, beside a plain buffered write of the same bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "serial/dispatch_log.h"
#include "serial/trace.h"
#include "serial/trace_log_test_files.h"

namespace {

trace_log_test::TempFolder& Folder() {
  static trace_log_test::TempFolder folder;
  return folder;
}

// A command and its reply, as the line carries them all day.
const std::string kCommand = "AT+CREG?\r\n";
const std::string kReply = "\r\n+CREG: 0,1\r\n\r\nOK\r\n";

void FillTrace(ser::TSerTrace& trace) {
  trace.OpenTrace(ser::kMaxTraceEntries);
  // A few more than the capacity, so the store has wrapped.
  for (std::size_t n = 0; n < ser::kMaxTraceEntries; n += kCommand.size() + kReply.size()) {
    for (char c : kCommand) trace.RecordTrace('T', static_cast<BYTE>(c));
    for (char c : kReply) trace.RecordTrace('R', static_cast<BYTE>(c));
  }
}

void FillLog(ser::TSerDispatchLog& log) {
  log.OpenLog(ser::kMaxLogBytes);
  // Enough entries to fill the store more than once, so it wraps.
  for (int i = 0; i < 500000; ++i) {
    log.RecordLogEntry(ser::lkDispatch, ser::lsWriteCom, static_cast<DWORD>(kCommand.size()),
                       static_cast<DWORD>(kCommand.size()), kCommand.data());
    log.RecordLogEntry(ser::lkDispatch, ser::lsReadCom, static_cast<DWORD>(kReply.size()),
                       static_cast<DWORD>(kReply.size()), kReply.data());
    log.RecordLogEntry(ser::lkTrigger, ser::lsAvail, static_cast<DWORD>(kReply.size()), 0, nullptr);
  }
}

std::size_t FileSize(const std::string& name) {
  return trace_log_test::ReadAll(name).size();
}

void BM_WriteTraceFile(benchmark::State& state) {
  CRITICAL_SECTION lock;
  InitializeCriticalSection(&lock);
  ser::TSerTrace trace(lock);
  std::string name = Folder().File("SERIAL.TRC");
  for (auto _ : state) {
    state.PauseTiming();
    FillTrace(trace);
    state.ResumeTiming();
    if (trace.WriteTraceFile(name, false, true, false) != 0) state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileSize(name)));
  DeleteCriticalSection(&lock);
}

void BM_WriteLogFile(benchmark::State& state) {
  CRITICAL_SECTION lock;
  InitializeCriticalSection(&lock);
  ser::TSerDispatchLog log(lock);
  log.SetDeviceName("COM1");
  std::string name = Folder().File("SERIAL.LOG");
  for (auto _ : state) {
    state.PauseTiming();
    FillLog(log);
    state.ResumeTiming();
    if (log.WriteLogFile(name, false, true, false) != 0) state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileSize(name)));
  DeleteCriticalSection(&lock);
}

// The floor to compare with: the same bytes through stdio with a 1 MiB buffer.
void PlainWrite(benchmark::State& state, const std::string& source) {
  std::string bytes = trace_log_test::ReadAll(Folder().File(source));
  if (bytes.empty()) {
    state.SkipWithError("run the recorder benchmark first");
    return;
  }
  std::string name = Folder().File("PLAIN.TXT");
  std::vector<char> buffer(1 << 20);
  for (auto _ : state) {
    std::FILE* file = std::fopen(name.c_str(), "wb");
    std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_PlainWriteOfTraceText(benchmark::State& state) {
  PlainWrite(state, "SERIAL.TRC");
}
void BM_PlainWriteOfLogText(benchmark::State& state) {
  PlainWrite(state, "SERIAL.LOG");
}

BENCHMARK(BM_WriteTraceFile)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PlainWriteOfTraceText)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WriteLogFile)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PlainWriteOfLogText)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
