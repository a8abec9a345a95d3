#include "app/dialogue/command_queue.h"

#include <algorithm>
#include <utility>

void CommandQueue::Push(QueuedCommand command) {
  waiting_.push_back(std::move(command));
}

void CommandQueue::PushFront(QueuedCommand command) {
  waiting_.push_front(std::move(command));
}

std::optional<QueuedCommand> CommandQueue::TakeNext() {
  if (inFlight_ || waiting_.empty()) return std::nullopt;
  inFlight_ = std::move(waiting_.front());
  waiting_.pop_front();
  return inFlight_;
}

QueuedCommand CommandQueue::Finish() {
  QueuedCommand done = std::move(*inFlight_);
  inFlight_.reset();
  return done;
}

bool CommandQueue::Holds(const std::function<bool(const QueuedCommand&)>& match) const {
  return (inFlight_ && match(*inFlight_)) || Waiting(match);
}

bool CommandQueue::Waiting(const std::function<bool(const QueuedCommand&)>& match) const {
  return std::any_of(waiting_.begin(), waiting_.end(), match);
}

void CommandQueue::Discard(const std::function<bool(const QueuedCommand&)>& match) {
  std::erase_if(waiting_, match);
}

void CommandQueue::Clear() {
  waiting_.clear();
  inFlight_.reset();
}

bool CommandQueue::Expired(int64_t tick) const {
  return inFlight_ && tick - lastSign_ > inFlight_->TimeLimit;
}
