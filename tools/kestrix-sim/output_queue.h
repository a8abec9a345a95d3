// What the device has still to send, and when: echoes go at once, replies
// after the configured delay and in the configured fragments, everything at
// the line rate when a baud rate is set. Order is always kept.
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <random>
#include <string>

#include "sim_state.h"

namespace kestrix {

class OutputQueue {
 public:
  using Clock = std::chrono::steady_clock;
  // Beyond this the oldest output is dropped: a client that writes without
  // ever reading must not make the device grow without bound.
  static constexpr std::size_t kMaxQueued = 1 << 20;

  OutputQueue(const Faults& faults, int baud);

  void Echo(const std::string& bytes, Clock::time_point now);
  void Reply(const std::string& bytes, Clock::time_point now);

  // The bytes that may go on the wire now (empty when the next are not due).
  std::string Ready(Clock::time_point now) const;
  // `count` bytes of Ready() were written at `now`.
  void Written(std::size_t count, Clock::time_point now);
  // When something next becomes ready, if anything is queued.
  std::optional<Clock::time_point> NextDue() const;
  bool Empty() const { return chunks_.empty(); }
  // Makes everything due at once (a hang-up flushes what is left).
  void Hurry();

 private:
  struct Chunk {
    std::string bytes;
    Clock::time_point due;
  };
  void Push(std::string bytes, Clock::time_point due);
  std::vector<std::size_t> SplitPoints(std::size_t size);

  const Faults& faults_;
  Clock::duration byteTime_{};  // zero when unpaced
  std::deque<Chunk> chunks_;
  std::size_t queued_ = 0;
  Clock::time_point lineFree_{};  // when the last byte written has left the line
  std::mt19937 random_;
};

}  // namespace kestrix
