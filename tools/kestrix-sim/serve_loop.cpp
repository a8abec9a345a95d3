#include "serve_loop.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "modem.h"
#include "output_queue.h"

namespace kestrix {

namespace {

using Clock = OutputQueue::Clock;

// How long a hang-up waits for the last reply to leave.
constexpr auto kHangUpDrain = std::chrono::seconds(1);
constexpr auto kHangUpSettle = std::chrono::milliseconds(100);

class QueuedOutput : public ModemOutput {
 public:
  explicit QueuedOutput(OutputQueue& queue) : queue_(queue) {}
  void Echo(const std::string& bytes) override { queue_.Echo(bytes, Clock::now()); }
  void Reply(const std::string& bytes) override { queue_.Reply(bytes, Clock::now()); }
  void HangUp() override { hangUp_ = true; }
  bool HangUpRequested() const { return hangUp_; }

 private:
  OutputQueue& queue_;
  bool hangUp_ = false;
};

// Until the modem's busy spell ends or, unless output already waits for the
// line to take it, until the next output is due.
int TimeoutMs(const OutputQueue& queue, bool outputReady, const Modem& modem,
              Clock::time_point now) {
  std::optional<Clock::time_point> due = outputReady ? std::nullopt : queue.NextDue();
  auto busy = modem.BusyUntil();
  if (!due || (busy && *busy < *due)) due = busy;
  if (!due) return -1;
  if (*due <= now) return 0;
  // Rounded up: waking a little early would only make the loop spin.
  auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - now);
  return static_cast<int>(std::min<long long>(wait.count(), 60000));
}

// Writes what is due; false when the line is gone.
bool WriteReady(int fd, OutputQueue& queue) {
  for (;;) {
    Clock::time_point now = Clock::now();
    std::string ready = queue.Ready(now);
    if (ready.empty()) return true;
    ssize_t n = write(fd, ready.data(), ready.size());
    if (n < 0) return errno == EAGAIN || errno == EINTR;
    queue.Written(static_cast<std::size_t>(n), now);
    if (static_cast<std::size_t>(n) < ready.size()) return true;
  }
}

// Sends what is left and gives the client a moment to read it: closing a
// pty discards what its client has not read yet, and bytes just written
// take a moment to show up in the client's queue.
void Drain(DeviceEndpoint& endpoint, OutputQueue& queue) {
  queue.Hurry();
  Clock::time_point end = Clock::now() + kHangUpDrain;
  Clock::time_point settled = Clock::now() + kHangUpSettle;
  while (Clock::now() < end) {
    if (!WriteReady(endpoint.Fd(), queue)) return;
    if (!queue.Empty() || endpoint.Unread() > 0) {
      settled = Clock::now() + kHangUpSettle;
    } else if (Clock::now() >= settled) {
      return;
    }
    pollfd p{endpoint.Fd(), static_cast<short>(queue.Empty() ? 0 : POLLOUT), 0};
    poll(&p, 1, 10);
  }
}

}  // namespace

ServeEnd Serve(DeviceEndpoint& endpoint, SimState& state, CommandLog* log, int baud, int stopFd) {
  OutputQueue queue(state.faults, baud);
  QueuedOutput output(queue);
  Modem modem(state, output, log);
  int fd = endpoint.Fd();
  for (;;) {
    Clock::time_point now = Clock::now();
    modem.Tick(now);
    std::string ready = queue.Ready(now);
    short events =
        static_cast<short>((modem.WantsInput() ? POLLIN : 0) | (ready.empty() ? 0 : POLLOUT));
    pollfd fds[2] = {{stopFd, POLLIN, 0}, {fd, events, 0}};
    int timeout = TimeoutMs(queue, !ready.empty(), modem, now);
    if (poll(fds, 2, timeout) < 0 && errno != EINTR) return ServeEnd::kLineGone;
    if (fds[0].revents) return ServeEnd::kStopped;
    if (fds[1].revents & POLLIN) {
      char buffer[4096];
      ssize_t n = read(fd, buffer, sizeof buffer);
      if (n > 0) modem.Feed(std::string_view(buffer, static_cast<std::size_t>(n)), Clock::now());
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return ServeEnd::kLineGone;
    } else if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      return ServeEnd::kLineGone;
    }
    if (!WriteReady(fd, queue)) return ServeEnd::kLineGone;
    if (output.HangUpRequested()) {
      Drain(endpoint, queue);
      endpoint.Close();
      return ServeEnd::kHungUp;
    }
  }
}

}  // namespace kestrix
