// The dispatcher's costs against floors on the same kind of pty: byte-to-
// notification latency (p50, p99) against a bare three-thread relay, handler
// throughput with ReadChar against a bare read loop and against the same
// three-thread relay carrying blocks, and the CPU an open idle port, an
// unplugged one and a gone one use. A floor is measured alternately with what it is the
// floor of, iteration by iteration, so that both meet the same load on a
// machine shared with others; the ratios are printed at the end. Run on
// purpose; not part of the test suite.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/device_presence.h"
#include "platform/errors.h"
#include "platform/messages.h"
#include "platform/serial.h"
#include "platform/sync.h"
#include "serial/dispatcher.h"
#include "serial/win32_dispatcher.h"
#include "support/port_folder.h"
#include "support/pty_pair.h"

namespace {

using morvel::test::PortFolder;
using morvel::test::PtyPair;
using Clock = std::chrono::steady_clock;

// The figures of each benchmark's runs, for the ratios: one per repetition
// (--benchmark_repetitions), once the runs that only size the iteration
// count are set aside.
class FigureTable {
 public:
  void Note(const std::string& name, const benchmark::State& state, double value) {
    auto& runs = runs_[name];
    const auto iterations = static_cast<std::int64_t>(state.iterations());
    if (iterations > runs.iterations) runs = {iterations, {}};
    if (iterations == runs.iterations) runs.values.push_back(value);
  }
  bool Has(const std::string& name) const { return runs_.count(name) != 0; }
  const std::vector<double>& Of(const std::string& name) const { return runs_.at(name).values; }

 private:
  struct Runs {
    std::int64_t iterations = 0;
    std::vector<double> values;
  };
  std::map<std::string, Runs> runs_;
};

FigureTable& Figures() {
  static FigureTable figures;
  return figures;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

template <class Body>
double SecondsOf(Body body) {
  auto start = Clock::now();
  body();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// One run's latencies, in microseconds.
class Latencies {
 public:
  void Add(double seconds) { samples_.push_back(seconds * 1e6); }
  // Counters `prefix`p50_us and `prefix`p99_us, and the figures `name` p50 and p99.
  void Report(benchmark::State& state, const std::string& prefix, const std::string& name) {
    if (samples_.empty()) return;
    std::sort(samples_.begin(), samples_.end());
    for (auto [key, fraction] : {std::pair{"p50", 0.50}, std::pair{"p99", 0.99}}) {
      double value =
          samples_[static_cast<size_t>(fraction * static_cast<double>(samples_.size() - 1))];
      state.counters[prefix + key + "_us"] = value;
      Figures().Note(name + " " + key, state, value);
    }
  }

 private:
  std::vector<double> samples_;
};

void WriteAll(int fd, const char* bytes, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, bytes, size);
    if (n > 0) {
      bytes += n;
      size -= static_cast<size_t>(n);
    } else {
      pollfd writable{fd, POLLOUT, 0};  // wait for room rather than spin
      poll(&writable, 1, 100);
    }
  }
}

// Bytes taken by the window procedure; the benchmark loop pumps until they arrive.
size_t gTaken = 0;
ser::TSerBaseDispatcher* gDispatcher = nullptr;

LRESULT TakeAll(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != ser::kMsgAvail) return DefWindowProcA(window, message, wParam, lParam);
  BYTE c;
  for (WPARAM i = 0; i < wParam && gDispatcher->ReadChar(c) == 0; ++i) ++gTaken;
  return 0;
}

template <class Done>
bool PumpUntil(Done done) {
  const auto end = Clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (Clock::now() > end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  return true;
}

bool PumpUntilTaken(size_t count) {
  return PumpUntil([count] { return gTaken >= count; });
}

// An open dispatcher on a fresh pty, its avail notifications taken by TakeAll
// on this thread.
struct OpenPort {
  OpenPort() {
    static const bool registered = [] {
      WNDCLASSA windowClass{};
      windowClass.lpfnWndProc = TakeAll;
      windowClass.hInstance = GetModuleHandleA(nullptr);
      windowClass.lpszClassName = "dispatcherBenchWindow";
      return RegisterClassA(&windowClass) != 0;
    }();
    (void)registered;
    folder.Link(1, pty.SlavePath());
    window = CreateWindowExA(0, "dispatcherBenchWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    dispatcher = std::make_unique<ser::TSerWin32Dispatcher>(nullptr);
    ok = dispatcher->OpenLine("\\\\.\\COM1", 115200, 0, 8, 1, 4096, 2048, 3) == 0;
    dispatcher->AddWindowTarget(window);
    dispatcher->SetHandlerMode(1);
    dispatcher->SetAvailThreshold(1);
    gDispatcher = dispatcher.get();
    gTaken = 0;
  }
  ~OpenPort() {
    dispatcher.reset();
    DestroyWindow(window);
  }
  // Sends the bytes and serves this thread until the handler took them all.
  bool Pass(const std::string& bytes) {
    WriteAll(pty.MasterFd(), bytes.data(), bytes.size());
    expected += bytes.size();
    return PumpUntilTaken(expected);
  }
  PtyPair pty;
  PortFolder folder;
  HWND window = nullptr;
  std::unique_ptr<ser::TSerWin32Dispatcher> dispatcher;
  size_t expected = 0;
  bool ok = false;
};

// The platform alone on this thread: wait for the bytes' event, then read.
struct BarePort {
  BarePort() {
    folder.Link(2, pty.SlavePath());
    device = CreateFileA("\\\\.\\COM2", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    SetCommTimeouts(device, &timeouts);
    SetCommMask(device, EV_RXCHAR);
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  }
  ~BarePort() {
    CloseHandle(device);
    CloseHandle(overlapped.hEvent);
  }
  size_t WaitAndRead(char* buffer, size_t size) {
    DWORD mask = 0;
    if (!WaitCommEvent(device, &mask, &overlapped) && GetLastError() == ERROR_IO_PENDING) {
      WaitForSingleObject(overlapped.hEvent, 10000);
      ResetEvent(overlapped.hEvent);
    }
    OVERLAPPED readOverlapped{};
    DWORD read = 0;
    ReadFile(device, buffer, static_cast<DWORD>(size), &read, &readOverlapped);
    return read;
  }
  // Sends the bytes and reads until they have all arrived.
  void Pass(const std::string& bytes) {
    WriteAll(pty.MasterFd(), bytes.data(), bytes.size());
    char buffer[4096];
    for (size_t got = 0; got < bytes.size();) got += WaitAndRead(buffer, sizeof buffer);
  }
  PtyPair pty;
  PortFolder folder;
  HANDLE device = INVALID_HANDLE_VALUE;
  OVERLAPPED overlapped{};
};

void Signal(int eventFd) {
  std::uint64_t one = 1;
  benchmark::DoNotOptimize(write(eventFd, &one, sizeof one));
}

// Blocks until `eventFd` or `stop` is signalled; false for the stop.
bool Await(int eventFd, int stop) {
  pollfd waits[2] = {{eventFd, POLLIN, 0}, {stop, POLLIN, 0}};
  while (poll(waits, 2, -1) < 0) {
  }
  if (waits[1].revents) return false;
  std::uint64_t value;
  benchmark::DoNotOptimize(read(eventFd, &value, sizeof value));
  return true;
}

// The floor of the avail latency: the same three hops as the dispatcher's
// (a reader woken by the pty, a dispatcher, this thread), each woken through
// an eventfd, with no ring and no messages.
class Relay {
 public:
  Relay() {
    slave_ = open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    reader_ = std::thread([this] {
      char buffer[64];
      for (;;) {
        pollfd waits[2] = {{slave_, POLLIN, 0}, {stop_, POLLIN, 0}};
        poll(waits, 2, -1);
        if (waits[1].revents) return;
        if (read(slave_, buffer, sizeof buffer) > 0) Signal(toDispatcher_);
      }
    });
    dispatcher_ = std::thread([this] {
      while (Await(toDispatcher_, stop_)) Signal(toThis_);
    });
  }
  ~Relay() {
    Signal(stop_);
    reader_.join();
    dispatcher_.join();
    for (int fd : {slave_, toDispatcher_, toThis_, stop_}) close(fd);
  }
  void Pass() {
    WriteAll(pty_.MasterFd(), "x", 1);
    Await(toThis_, stop_);
  }

 private:
  PtyPair pty_;
  int slave_ = -1;
  int toDispatcher_ = eventfd(0, EFD_CLOEXEC);
  int toThis_ = eventfd(0, EFD_CLOEXEC);
  int stop_ = eventfd(0, EFD_CLOEXEC);
  std::thread reader_, dispatcher_;
};

// The floor of the handler's throughput in the three-thread design: an
// event thread woken by the pty, a dispatch thread that reads what is there
// and hands it to this thread, which takes it a byte at a time and answers;
// only then does the event thread wait again. Eventfds, no ring, no messages.
class BlockRelay {
 public:
  BlockRelay() {
    slave_ = open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    events_ = std::thread([this] {
      for (;;) {
        pollfd waits[2] = {{slave_, POLLIN, 0}, {stop_, POLLIN, 0}};
        poll(waits, 2, -1);
        if (waits[1].revents) return;
        Signal(toDispatcher_);
        if (!Await(ready_, stop_)) return;
      }
    });
    dispatcher_ = std::thread([this] {
      while (Await(toDispatcher_, stop_)) {
        ssize_t n = read(slave_, buffer_, sizeof buffer_);
        if (n > 0) {
          count_ = static_cast<size_t>(n);
          Signal(toThis_);
          if (!Await(answer_, stop_)) return;
        }
        Signal(ready_);
      }
    });
  }
  ~BlockRelay() {
    Signal(stop_);
    events_.join();
    dispatcher_.join();
    for (int fd : {slave_, toDispatcher_, ready_, toThis_, answer_, stop_}) close(fd);
  }
  // Sends the bytes and takes them, a byte at a time, as they are handed over.
  void Pass(const std::string& bytes) {
    WriteAll(pty_.MasterFd(), bytes.data(), bytes.size());
    for (size_t got = 0; got < bytes.size();) {
      if (!Await(toThis_, stop_)) return;
      for (size_t i = 0; i < count_; ++i) benchmark::DoNotOptimize(buffer_[i]);
      got += count_;
      Signal(answer_);
    }
  }

 private:
  PtyPair pty_;
  int slave_ = -1;
  int toDispatcher_ = eventfd(0, EFD_CLOEXEC);
  int ready_ = eventfd(0, EFD_CLOEXEC);
  int toThis_ = eventfd(0, EFD_CLOEXEC);
  int answer_ = eventfd(0, EFD_CLOEXEC);
  int stop_ = eventfd(0, EFD_CLOEXEC);
  char buffer_[8192];
  size_t count_ = 0;
  std::thread events_, dispatcher_;
};

// Passes in a row of one kind before the other kind has its turn: each keeps
// its own rhythm, and both meet the same load.
constexpr int kRun = 32;

// Its time is the avail latency; the relay's is measured beside it.
void BM_AvailLatency(benchmark::State& state) {
  OpenPort port;
  Relay relay;
  if (!port.ok) return state.SkipWithError("open failed");
  Latencies avail, floor;
  for (auto _ : state) {
    for (int i = 0; i < kRun; ++i) floor.Add(SecondsOf([&] { relay.Pass(); }));
    double seconds = 0;
    for (int i = 0; i < kRun; ++i) {
      bool taken = true;
      double one = SecondsOf([&] { taken = port.Pass("x"); });
      if (!taken) return state.SkipWithError("no notification");
      avail.Add(one);
      seconds += one;
    }
    state.SetIterationTime(seconds / kRun);
  }
  avail.Report(state, "", "avail");
  floor.Report(state, "relay_", "relay");
}
BENCHMARK(BM_AvailLatency)->Unit(benchmark::kMicrosecond)->UseManualTime();

// The platform's own floor: one thread waiting for the byte and reading it.
void BM_BareWaitReadLatency(benchmark::State& state) {
  BarePort port;
  Latencies latencies;
  for (auto _ : state) {
    double seconds = SecondsOf([&] { port.Pass("x"); });
    latencies.Add(seconds);
    state.SetIterationTime(seconds);
  }
  latencies.Report(state, "", "bare");
}
BENCHMARK(BM_BareWaitReadLatency)->Unit(benchmark::kMicrosecond)->UseManualTime();

// Its time is a 4096-byte block taken by a handler with ReadChar; a bare
// read loop takes the same blocks beside it.
void BM_HandlerThroughput(benchmark::State& state) {
  OpenPort port;
  BarePort bare;
  BlockRelay relay;
  if (!port.ok) return state.SkipWithError("open failed");
  const std::string block(4096, 'b');
  double handlerSeconds = 0, bareSeconds = 0, relaySeconds = 0;
  for (auto _ : state) {
    for (int i = 0; i < kRun; ++i) bareSeconds += SecondsOf([&] { bare.Pass(block); });
    for (int i = 0; i < kRun; ++i) relaySeconds += SecondsOf([&] { relay.Pass(block); });
    double seconds = 0;
    for (int i = 0; i < kRun; ++i) {
      bool taken = true;
      seconds += SecondsOf([&] { taken = port.Pass(block); });
      if (!taken) return state.SkipWithError("bytes missing");
    }
    handlerSeconds += seconds;
    state.SetIterationTime(seconds / kRun);
  }
  const double bytes = static_cast<double>(state.iterations() * kRun * block.size());
  state.SetBytesProcessed(static_cast<int64_t>(bytes / kRun));
  state.counters["bare_MBps"] = bytes / bareSeconds / 1e6;
  Figures().Note("handler MB/s", state, bytes / handlerSeconds / 1e6);
  Figures().Note("bare read MB/s", state, bytes / bareSeconds / 1e6);
  state.counters["relay_MBps"] = bytes / relaySeconds / 1e6;
  Figures().Note("block relay MB/s", state, bytes / relaySeconds / 1e6);
}
BENCHMARK(BM_HandlerThroughput)->Unit(benchmark::kMicrosecond)->UseManualTime();

double ProcessCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
         usage.ru_stime.tv_usec / 1e3;
}

// CPU of the whole process while this thread sleeps 10 s, as the figure
// `name` cpu_ms.
void NoteCpuOfTenSeconds(benchmark::State& state, const std::string& name) {
  for (auto _ : state) {
    double before = ProcessCpuMs();
    Sleep(10000);
    double used = ProcessCpuMs() - before;
    state.counters["cpu_ms_per_10s"] = used;
    Figures().Note(name + " cpu_ms", state, used);
  }
}

// While an open port sits idle; `unplug` hangs the line up first, as a cable
// pulled out does.
void IdleCpu(benchmark::State& state, const std::string& name, bool unplug) {
  OpenPort port;
  if (!port.ok) return state.SkipWithError("open failed");
  if (unplug) port.pty.CloseMaster();
  Sleep(200);  // what the hang-up itself costs is not idling
  NoteCpuOfTenSeconds(state, name);
}

void BM_IdlePortCpu(benchmark::State& state) {
  IdleCpu(state, "idle", false);
}
BENCHMARK(BM_IdlePortCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor of an idle port: a thread that only wakes every 50 ms, as the
// dispatch thread's passes do, and goes back to sleep.
void BM_BareWakerCpu(benchmark::State& state) {
  std::mutex mutex;
  std::condition_variable stop;
  bool stopping = false;
  std::thread waker([&] {
    std::unique_lock lock(mutex);
    while (!stopping) stop.wait_for(lock, std::chrono::milliseconds(50));
  });
  NoteCpuOfTenSeconds(state, "waker");
  {
    std::lock_guard lock(mutex);
    stopping = true;
  }
  stop.notify_all();
  waker.join();
}
BENCHMARK(BM_BareWakerCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UnpluggedPortCpu(benchmark::State& state) {
  IdleCpu(state, "unplugged", true);
}
BENCHMARK(BM_UnpluggedPortCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// A gone port: its dispatcher told that the device went away and was closed,
// as the port component does, and what its COM number leads to looked at
// once a second, as the port's watch does until the device returns.
void BM_GonePortCpu(benchmark::State& state) {
  {
    OpenPort port;
    if (!port.ok) return state.SkipWithError("open failed");
    port.pty.CloseMaster();
    if (!PumpUntil([&] { return port.dispatcher->Gone != DevicePresence::kPresent; })) {
      return state.SkipWithError("the device was not found gone");
    }
  }
  PortFolder folder;
  folder.Link(1, "/nonexistent/morvel-bench-port");
  std::mutex mutex;
  std::condition_variable stop;
  bool stopping = false;
  std::thread watch([&] {
    std::unique_lock lock(mutex);
    while (!stopping) {
      benchmark::DoNotOptimize(LookAtComPort(1));
      stop.wait_for(lock, std::chrono::seconds(1));
    }
  });
  NoteCpuOfTenSeconds(state, "gone");
  {
    std::lock_guard lock(mutex);
    stopping = true;
  }
  stop.notify_all();
  watch.join();
}
BENCHMARK(BM_GonePortCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// One goal as the ratio of two figures measured side by side: its median
// over the repetitions (--benchmark_repetitions), and the lowest and highest.
void PrintRatio(const char* what, const std::string& figure, const std::string& floor,
                const char* goal) {
  const FigureTable& figures = Figures();
  if (!figures.Has(figure) || !figures.Has(floor)) return;
  const std::vector<double>& values = figures.Of(figure);
  const std::vector<double>& floors = figures.Of(floor);
  std::vector<double> ratios;
  for (size_t i = 0; i < std::min(values.size(), floors.size()); ++i) {
    if (floors[i] > 0) ratios.push_back(values[i] / floors[i]);
  }
  if (ratios.empty()) return;
  auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
  std::printf("%-44s %6.2f  (%.2f-%.2f over %zu)  goal %s\n", what, Median(ratios), *low, *high,
              ratios.size(), goal);
}

void PrintRatios() {
  std::printf("\nRatios of this run:\n");
  PrintRatio("avail latency p50 / three-thread relay p50", "avail p50", "relay p50", "<= 1.30");
  PrintRatio("avail latency p99 / three-thread relay p99", "avail p99", "relay p99", "<= 1.50");
  PrintRatio("handler throughput / bare read loop", "handler MB/s", "bare read MB/s", ">= 0.25");
  PrintRatio("three-thread block relay / bare read loop", "block relay MB/s", "bare read MB/s",
             "(the most three threads reach)");
  PrintRatio("handler throughput / three-thread block relay", "handler MB/s", "block relay MB/s",
             "(no goal)");
  const FigureTable& figures = Figures();
  if (figures.Has("idle cpu_ms")) {
    std::printf("%-44s %6.3f%%  goal <= 0.2%%\n", "idle open port, share of one core",
                Median(figures.Of("idle cpu_ms")) / 10000 * 100);
  }
  if (figures.Has("waker cpu_ms")) {
    std::printf("%-44s %6.3f%%  (the floor of the above)\n", "bare thread woken every 50 ms",
                Median(figures.Of("waker cpu_ms")) / 10000 * 100);
  }
  if (figures.Has("idle cpu_ms") && figures.Has("unplugged cpu_ms")) {
    std::printf("%-44s %6.1f ms  goal 0\n", "unplugged port, CPU beyond idle per 10 s",
                Median(figures.Of("unplugged cpu_ms")) - Median(figures.Of("idle cpu_ms")));
  }
  if (figures.Has("idle cpu_ms") && figures.Has("gone cpu_ms")) {
    std::printf("%-44s %6.1f ms  (idle open port %.1f ms)  goal <= idle\n",
                "gone port, CPU per 10 s", Median(figures.Of("gone cpu_ms")),
                Median(figures.Of("idle cpu_ms")));
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintRatios();
  return 0;
}
