// The switches and counters of the device dialogue: the reply line being
// assembled, the ready switch, the pending exchanges and what the status poll
// last heard. One record, living as long as the window; no locks, since
// everything that touches it runs on the user-interface thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "app/dialogue/exchange_record.h"
#include "platform/win_types.h"

// The SIM phonebook tags the device keeps its numbers under, in slot order.
inline constexpr int kTagCount = 10;

struct DialogueState {
  std::string ReplyLine;
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
  // The last command an exchange sent that has had no final result yet;
  // empty when none. A refusal names it.
  std::string AwaitedCommand;
  // The next final result belongs to a reply whose handler already sent the
  // awaited command.
  bool EarlierResultOwed = false;
  ExchangeRecord Record;
};
