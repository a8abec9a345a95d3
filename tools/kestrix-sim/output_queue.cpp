#include "output_queue.h"

#include <algorithm>

namespace kestrix {

namespace {

// Paced output goes in batches of about this much line time, so the loop
// wakes a few hundred times a second at most.
constexpr auto kBatchTime = std::chrono::milliseconds(5);

}  // namespace

OutputQueue::OutputQueue(const Faults& faults, int baud) : faults_(faults), random_(faults.seed) {
  if (baud > 0)
    byteTime_ = std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(10)) / baud;
}

void OutputQueue::Push(std::string bytes, Clock::time_point due) {
  if (bytes.empty()) return;
  if (!chunks_.empty()) due = std::max(due, chunks_.back().due);
  queued_ += bytes.size();
  chunks_.push_back(Chunk{std::move(bytes), due});
  while (queued_ > kMaxQueued && chunks_.size() > 1) {
    queued_ -= chunks_.front().bytes.size();
    chunks_.pop_front();
  }
}

std::vector<std::size_t> OutputQueue::SplitPoints(std::size_t size) {
  std::vector<std::size_t> points;
  if (faults_.splitRandom && size > 1) {
    std::uniform_int_distribution<std::size_t> count(1, 3);
    std::uniform_int_distribution<std::size_t> at(1, size - 1);
    for (std::size_t n = count(random_); n > 0; --n) points.push_back(at(random_));
  } else {
    for (std::size_t at : faults_.splitAt)
      if (at < size) points.push_back(at);
  }
  std::sort(points.begin(), points.end());
  points.erase(std::unique(points.begin(), points.end()), points.end());
  return points;
}

void OutputQueue::Echo(const std::string& bytes, Clock::time_point now) {
  Push(bytes, now);
}

void OutputQueue::Reply(const std::string& bytes, Clock::time_point now) {
  Clock::time_point due = now + std::chrono::milliseconds(faults_.delayMs);
  auto gap = std::chrono::milliseconds(faults_.fragmentGapMs);
  std::size_t start = 0;
  for (std::size_t point : SplitPoints(bytes.size())) {
    Push(bytes.substr(start, point - start), due);
    start = point;
    due += gap;
  }
  Push(bytes.substr(start), due);
}

std::string OutputQueue::Ready(Clock::time_point now) const {
  if (chunks_.empty() || chunks_.front().due > now) return {};
  const std::string& front = chunks_.front().bytes;
  if (byteTime_ == Clock::duration::zero()) return front;
  if (lineFree_ > now) return {};
  std::size_t batch = std::max<std::size_t>(1, kBatchTime / byteTime_);
  return front.substr(0, batch);
}

void OutputQueue::Written(std::size_t count, Clock::time_point now) {
  if (byteTime_ != Clock::duration::zero())
    lineFree_ = std::max(lineFree_, now) + byteTime_ * static_cast<long>(count);
  queued_ -= count;
  Chunk& front = chunks_.front();
  front.bytes.erase(0, count);
  if (front.bytes.empty()) chunks_.pop_front();
}

std::optional<OutputQueue::Clock::time_point> OutputQueue::NextDue() const {
  if (chunks_.empty()) return std::nullopt;
  return std::max(chunks_.front().due, lineFree_);
}

void OutputQueue::Hurry() {
  for (Chunk& c : chunks_) c.due = Clock::time_point{};
  lineFree_ = Clock::time_point{};
}

}  // namespace kestrix
