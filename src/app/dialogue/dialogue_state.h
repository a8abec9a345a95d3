// The switches and counters of the device dialogue: the reply line being
// assembled, the command queue, the pending exchanges and what the status
// poll last heard. One record, living as long as the window; no locks, since
// everything that touches it runs on one thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "app/dialogue/command_queue.h"
#include "app/dialogue/exchange_record.h"
#include "platform/win_types.h"

// Time-outs in a row after which the status bar says the device is silent.
inline constexpr int32_t kSilentAfter = 3;

// The SIM phonebook tags the device keeps its numbers under, in slot order.
inline constexpr int kTagCount = 10;

struct DialogueState {
  std::string ReplyLine;
  // The device has answered since the session began, and no command of it
  // has run out of time since: the buttons may start an exchange.
  bool DeviceReady = false;
  bool CentreAsked = false;
  int32_t StepIndex = 0;
  bool PhoneErasePending = false;
  bool PhoneWritePending = false;
  bool SmsDeletePending = false;
  bool SmsWriteAfterDelete = false;
  bool SmsTextPending = false;
  std::array<int32_t, kTagCount> SimIndex{};
  std::string OperatorName;
  int32_t LinkMissCount = 0;
  int32_t SignalQuality = 0;
  int64_t AcmBalance = 0;
  WORD StartComNumber = 0;
  // How much of ReplyLine a failed handler left behind: only what follows it
  // is the next reply.
  std::string::size_type FailedRest = 0;

  CommandQueue Commands;
  // Timer ticks so far: the clock of the time limits.
  int64_t Ticks = 0;
  // Commands in a row whose answer never came.
  int32_t TimeOutsInARow = 0;
  // Nothing is written: the device is gone until it is back.
  bool Halted = false;
  // The store in flight has had its prompt answered with the text.
  bool StoreTextSent = false;
  // The index the store in flight's report gave.
  std::optional<int32_t> StoredAt;
  // A prompt came while another command was in flight: the device may be
  // taking every byte as message text until an ESC goes out.
  bool PromptUnanswered = false;
  // The highest phonebook location the SIM has, when it has fewer than a
  // listing asks for; 0 while none is known.
  int32_t PhonebookLast = 0;
  // What refused the first listing, while the SIM's range is asked for.
  std::string ListingRefusal;
  bool PinNeeded = false;
  // The operator panel says what is wrong with the device instead.
  bool StatusShown = false;
  ExchangeRecord Record;
};
