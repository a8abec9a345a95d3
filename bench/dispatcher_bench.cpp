// The dispatcher's costs against the bare platform calls on the same pty:
// byte-to-notification latency, handler throughput with ReadChar, and the CPU
// an open idle port uses. Run on purpose; not part of the test suite.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <memory>
#include <string>

#include "platform/clock.h"
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

// Bytes taken by the window procedure; the benchmark loop pumps until they arrive.
size_t gTaken = 0;
ser::TSerBaseDispatcher* gDispatcher = nullptr;

LRESULT TakeAll(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != ser::kMsgAvail) return DefWindowProcA(window, message, wParam, lParam);
  BYTE c;
  for (WPARAM i = 0; i < wParam && gDispatcher->ReadChar(c) == 0; ++i) ++gTaken;
  return 0;
}

bool PumpUntilTaken(size_t count) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (gTaken < count) {
    if (std::chrono::steady_clock::now() > end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  return true;
}

// An open dispatcher on a fresh pty, its avail notifications taken by TakeAll.
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
  PtyPair pty;
  PortFolder folder;
  HWND window = nullptr;
  std::unique_ptr<ser::TSerWin32Dispatcher> dispatcher;
  bool ok = false;
};

// The platform alone: wait for the byte's event, then read it.
struct BarePort {
  BarePort() {
    folder.Link(1, pty.SlavePath());
    device = CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
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
  PtyPair pty;
  PortFolder folder;
  HANDLE device = INVALID_HANDLE_VALUE;
  OVERLAPPED overlapped{};
};

void BM_AvailLatency(benchmark::State& state) {
  OpenPort port;
  if (!port.ok) return state.SkipWithError("open failed");
  size_t expected = 0;
  for (auto _ : state) {
    port.pty.Write("x");
    if (!PumpUntilTaken(++expected)) return state.SkipWithError("no notification");
  }
}
BENCHMARK(BM_AvailLatency)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_BareWaitReadLatency(benchmark::State& state) {
  BarePort port;
  char buffer[64];
  for (auto _ : state) {
    port.pty.Write("x");
    size_t got = 0;
    while (got == 0) got = port.WaitAndRead(buffer, sizeof buffer);
  }
}
BENCHMARK(BM_BareWaitReadLatency)->Unit(benchmark::kMicrosecond)->UseRealTime();

constexpr size_t kBlock = 4096;

void BM_HandlerThroughput(benchmark::State& state) {
  OpenPort port;
  if (!port.ok) return state.SkipWithError("open failed");
  const std::string block(kBlock, 'b');
  size_t expected = 0;
  for (auto _ : state) {
    port.pty.Write(block);
    expected += kBlock;
    if (!PumpUntilTaken(expected)) return state.SkipWithError("bytes missing");
  }
  state.SetBytesProcessed(static_cast<int64_t>(expected));
}
BENCHMARK(BM_HandlerThroughput)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_BareReadThroughput(benchmark::State& state) {
  BarePort port;
  const std::string block(kBlock, 'b');
  char buffer[kBlock];
  size_t total = 0;
  for (auto _ : state) {
    port.pty.Write(block);
    size_t got = 0;
    while (got < kBlock) got += port.WaitAndRead(buffer, sizeof buffer);
    total += got;
  }
  state.SetBytesProcessed(static_cast<int64_t>(total));
}
BENCHMARK(BM_BareReadThroughput)->Unit(benchmark::kMicrosecond)->UseRealTime();

double ProcessCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
         usage.ru_stime.tv_usec / 1e3;
}

// CPU of the whole process while an open port sits idle for 10 s.
void BM_IdlePortCpu(benchmark::State& state) {
  OpenPort port;
  if (!port.ok) return state.SkipWithError("open failed");
  for (auto _ : state) {
    double before = ProcessCpuMs();
    Sleep(10000);
    state.counters["cpu_ms_per_10s"] = ProcessCpuMs() - before;
  }
}
BENCHMARK(BM_IdlePortCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
