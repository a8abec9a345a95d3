// Writing a full trace (4,000,000 entries) and a full dispatch log (16 MB),
// in MB/s of file text, each beside a plain buffered write of the same text;
// the ratios are printed at the end.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
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

// The floor: the same text written plainly through a 256 KiB buffer, as
// large as the recorders' own.
double PlainWriteSeconds(const std::string& text) {
  std::string name = Folder().File("PLAIN.TXT");
  std::vector<char> buffer(1 << 18);
  auto start = std::chrono::steady_clock::now();
  std::FILE* file = std::fopen(name.c_str(), "wb");
  std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::map<std::string, double>& Ratios() {
  static std::map<std::string, double> ratios;
  return ratios;
}

// Its time is a dump of a full recorder; after each, the same text is
// written plainly, so that both meet the same state of the disk and cache.
template <class Recorder, class Fill, class Dump>
void DumpAgainstPlainWrite(benchmark::State& state, const std::string& ratio, const char* file,
                           Fill fill, Dump dump) {
  CRITICAL_SECTION lock;
  InitializeCriticalSection(&lock);
  Recorder recorder(lock);
  std::string name = Folder().File(file);
  double dumpSeconds = 0, plainSeconds = 0, bytes = 0;
  for (auto _ : state) {
    fill(recorder);
    auto start = std::chrono::steady_clock::now();
    if (dump(recorder, name) != 0) return state.SkipWithError("write failed");
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    dumpSeconds += seconds;
    std::string text = trace_log_test::ReadAll(name);
    plainSeconds += PlainWriteSeconds(text);
    bytes += static_cast<double>(text.size());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["plain_MBps"] = bytes / plainSeconds / 1e6;
  Ratios()[ratio] = plainSeconds / dumpSeconds;
  DeleteCriticalSection(&lock);
}

void BM_WriteTraceFile(benchmark::State& state) {
  DumpAgainstPlainWrite<ser::TSerTrace>(state, "trace dump / plain write", "SERIAL.TRC", FillTrace,
                                        [](ser::TSerTrace& trace, const std::string& name) {
                                          return trace.WriteTraceFile(name, false, true, false);
                                        });
}

void BM_WriteLogFile(benchmark::State& state) {
  DumpAgainstPlainWrite<ser::TSerDispatchLog>(
      state, "log dump / plain write", "SERIAL.LOG",
      [](ser::TSerDispatchLog& log) {
        log.SetDeviceName("COM1");
        FillLog(log);
      },
      [](ser::TSerDispatchLog& log, const std::string& name) {
        return log.WriteLogFile(name, false, true, false);
      });
}

BENCHMARK(BM_WriteTraceFile)->Unit(benchmark::kMillisecond)->Iterations(10)->UseManualTime();
BENCHMARK(BM_WriteLogFile)->Unit(benchmark::kMillisecond)->Iterations(10)->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\nRatios of this run:\n");
  for (const auto& [what, ratio] : Ratios()) {
    std::printf("%-44s %8.2f   (goal >= 0.50)\n", what.c_str(), ratio);
  }
  return 0;
}
