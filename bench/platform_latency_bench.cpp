// Latency of one byte from the pty master to a reader on the slave: the
// serial layer's WaitCommEvent + ReadFile against a bare poll() + read() loop
// on the same kind of pty, in one run; and the CPU an open, idle port costs.
#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <thread>

#include <benchmark/benchmark.h>

#include "platform/platform.h"
#include "support/port_folder.h"
#include "support/pty_pair.h"

namespace {

using morvel::test::PortFolder;
using morvel::test::PtyPair;

void WriteByte(int fd) {
  char byte = 'x';
  while (write(fd, &byte, 1) != 1) {
    pollfd writable{fd, POLLOUT, 0};  // wait for room rather than spin
    poll(&writable, 1, 100);
  }
}

// The pty's slave opened as COM1 through a port folder, as Morvel opens it.
HANDLE OpenAsCom1(const PtyPair& pty, PortFolder& ports) {
  ports.Link(1, pty.SlavePath());
  return CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_FLAG_OVERLAPPED, nullptr);
}

// The reader echoes each byte back; the master times the round trip's half.
void BM_WaitCommEventReadFile(benchmark::State& state) {
  PtyPair pty;
  PortFolder ports;
  HANDLE device = OpenAsCom1(pty, ports);
  if (device == INVALID_HANDLE_VALUE) {
    state.SkipWithError("open failed");
    return;
  }
  COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
  SetCommTimeouts(device, &timeouts);
  SetCommMask(device, EV_RXCHAR);
  std::thread reader([device] {
    char buffer[64];
    DWORD mask = 0;
    while (WaitCommEvent(device, &mask, nullptr) && mask != 0) {
      DWORD got = 0;
      ReadFile(device, buffer, sizeof buffer, &got, nullptr);
      DWORD written = 0;
      if (got > 0) WriteFile(device, buffer, got, &written, nullptr);
    }
  });
  char echo;
  for (auto _ : state) {
    WriteByte(pty.MasterFd());
    pollfd wait{pty.MasterFd(), POLLIN, 0};
    poll(&wait, 1, 5000);
    benchmark::DoNotOptimize(read(pty.MasterFd(), &echo, 1));
  }
  SetCommMask(device, 0);
  reader.join();
  CloseHandle(device);
}
BENCHMARK(BM_WaitCommEventReadFile)->UseRealTime();

void BM_BarePollRead(benchmark::State& state) {
  PtyPair pty;
  int slave = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  int stop[2];
  if (slave < 0 || pipe(stop) != 0) {
    state.SkipWithError("open failed");
    return;
  }
  std::thread reader([slave, &stop] {
    char buffer[64];
    for (;;) {
      pollfd waits[2] = {{slave, POLLIN, 0}, {stop[0], POLLIN, 0}};
      poll(waits, 2, -1);
      if (waits[1].revents) break;
      ssize_t got = read(slave, buffer, sizeof buffer);
      if (got > 0) benchmark::DoNotOptimize(write(slave, buffer, static_cast<size_t>(got)));
    }
  });
  char echo;
  for (auto _ : state) {
    WriteByte(pty.MasterFd());
    pollfd wait{pty.MasterFd(), POLLIN, 0};
    poll(&wait, 1, 5000);
    benchmark::DoNotOptimize(read(pty.MasterFd(), &echo, 1));
  }
  benchmark::DoNotOptimize(write(stop[1], "x", 1));
  reader.join();
  close(slave);
  close(stop[0]);
  close(stop[1]);
}
BENCHMARK(BM_BarePollRead)->UseRealTime();

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// An open port with a waiting event thread and nothing arriving: the CPU
// used per second of wall time is reported as a counter.
void BM_IdleOpenPortCpu(benchmark::State& state) {
  PtyPair pty;
  PortFolder ports;
  HANDLE device = OpenAsCom1(pty, ports);
  if (device == INVALID_HANDLE_VALUE) {
    state.SkipWithError("open failed");
    return;
  }
  SetCommMask(device, EV_RXCHAR | EV_ERR | EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_BREAK);
  std::thread waiter([device] {
    DWORD mask = 0;
    while (WaitCommEvent(device, &mask, nullptr) && mask != 0) {
    }
  });
  double cpu = 0;
  double wall = 0;
  for (auto _ : state) {
    double before = ProcessCpuSeconds();
    auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu += ProcessCpuSeconds() - before;
  }
  state.counters["cpu_per_wall_s"] = cpu / wall;
  SetCommMask(device, 0);
  waiter.join();
  CloseHandle(device);
}
BENCHMARK(BM_IdleOpenPortCpu)->Iterations(5)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
