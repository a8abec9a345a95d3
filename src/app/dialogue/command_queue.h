// The commands the dialogue has for the device, one in flight at a time:
// real modems answer in order but late, lose an answer now and then and
// send unsolicited codes between replies, so a final result is only ever
// taken as the answer to the one command written before it, and nothing is
// written until that answer (or the command's time limit) has come.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "platform/win_types.h"

// Whom a command belongs to: its final result goes back there, and a time
// limit cuts short what it belongs to.
enum class Owner {
  kSession,  // echo off and text mode, at start and after a restart
  kResync,   // ESC and AT after a time limit, to find the line again
  kPoll,     // the status poll's queries
  kLoadPhonebook,
  kSavePhonebook,
  kDeletePhoneEntry,
  kQuietListing,  // learns the SIM's locations again after a cut Save PBook
  kLoadSms,
  kDeleteSms,
  kSaveSms,
};

// What a button started, or the quiet listing that stands in for one: the
// commands a time limit cuts short with a report.
inline bool IsExchange(Owner by) {
  return by != Owner::kSession && by != Owner::kResync && by != Owner::kPoll;
}

struct QueuedCommand {
  // As written, without its line end; also what its echo looks like.
  std::string Line;
  Owner By = Owner::kPoll;
  // The pause before it is written, so the device has settled.
  DWORD WaitBefore = 0;
  // The SMS slot a store writes.
  int32_t Slot = 0;
  // ESC goes out on its own, without a line end.
  bool LineEnd = true;
  // Ticks its answer may take from its last sign of life.
  int TimeLimit = 10;
};

class CommandQueue {
 public:
  void Push(QueuedCommand command);
  // Ahead of everything still waiting: the session set-up and the resync.
  void PushFront(QueuedCommand command);
  // The command next to go, taken out of the queue and put in flight; none
  // while one is in flight.
  std::optional<QueuedCommand> TakeNext();
  // The command written and not answered yet.
  const QueuedCommand* InFlight() const { return inFlight_ ? &*inFlight_ : nullptr; }
  // Its answer has come, or it is given up: nothing is in flight any more.
  QueuedCommand Finish();

  // A matching command is in flight or waiting; only waiting.
  bool Holds(const std::function<bool(const QueuedCommand&)>& match) const;
  bool Waiting(const std::function<bool(const QueuedCommand&)>& match) const;
  // Drops the waiting commands that match; the one in flight stays.
  void Discard(const std::function<bool(const QueuedCommand&)>& match);
  void Clear();

  // The time limit runs from the last byte written or received for the
  // command in flight; ticks are the status poll's seconds.
  void Alive(int64_t tick) { lastSign_ = tick; }
  bool Expired(int64_t tick) const;

 private:
  std::deque<QueuedCommand> waiting_;
  std::optional<QueuedCommand> inFlight_;
  int64_t lastSign_ = 0;
};
