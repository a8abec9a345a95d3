#include "cli/device_runs.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <thread>

#include "cli/device_session.h"
#include "config/file_descriptor.h"
#include "platform/sync.h"

namespace {

// The signals that stop the run, held back from every thread so that only
// the wait below takes them.
sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  return signals;
}

// A manual-reset event the device threads wait on beside their messages.
class StopEvent {
 public:
  StopEvent() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (!handle_) throw std::runtime_error("cannot wait for the devices");
  }
  ~StopEvent() { CloseHandle(handle_); }
  StopEvent(const StopEvent&) = delete;
  StopEvent& operator=(const StopEvent&) = delete;
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Waits until `count` threads have said they are done on `finished`,
// setting `stop` when a stop signal comes.
void WaitForDevices(std::size_t count, int finished, int signals, HANDLE stop) {
  std::size_t done = 0;
  while (done < count) {
    pollfd waits[] = {{finished, POLLIN, 0}, {signals, POLLIN, 0}};
    if (::poll(waits, 2, -1) < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("cannot wait for the devices");
    }
    if (waits[1].revents & POLLIN) {
      signalfd_siginfo info{};
      if (::read(signals, &info, sizeof info) == sizeof info) SetEvent(stop);
    }
    if (waits[0].revents & POLLIN) {
      uint64_t ended = 0;
      if (::read(finished, &ended, sizeof ended) == sizeof ended) done += ended;
    }
  }
}

}  // namespace

std::vector<DeviceResult> RunOnEveryDevice(const Job& job, const std::vector<PortChoice>& ports,
                                           const std::vector<RecorderFiles>& recorders,
                                           Progress& progress) {
  // Held back for good: one that comes once the devices are done waits
  // until the results are out, instead of cutting them short.
  const sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::vector<DeviceResult> results(ports.size());
  {
    const config::FileDescriptor signalled(signalfd(-1, &signals, SFD_CLOEXEC));
    const config::FileDescriptor finished(eventfd(0, EFD_CLOEXEC));
    if (!signalled || !finished) throw std::runtime_error("cannot wait for the devices");
    const StopEvent stop;
    std::vector<std::jthread> threads;
    for (std::size_t i = 0; i < ports.size(); ++i) {
      threads.emplace_back([&, i] {
        try {
          DeviceSession session(job, ports[i], recorders[i], progress);
          results[i] = session.Run(stop.Get());
        } catch (const std::exception& error) {
          results[i].Port = ports[i];
          results[i].Fail(kRefusedOrDiffers, error.what());
        }
        // Always said, or the wait below would never end.
        const uint64_t one = 1;
        while (::write(finished.Get(), &one, sizeof one) < 0 && errno == EINTR) {
        }
      });
    }
    try {
      WaitForDevices(ports.size(), finished.Get(), signalled.Get(), stop.Get());
    } catch (...) {
      // The threads are joined on the way out: they must not go on working.
      SetEvent(stop.Get());
      throw;
    }
  }
  return results;
}
