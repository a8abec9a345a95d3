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
  // The last line's handler failed: the line its rest completes is not handled.
  bool LineFailed = false;
  ExchangeRecord Record;
};
