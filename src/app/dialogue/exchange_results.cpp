// What the device's refusals mean to the exchanges, and when a button may
// start one.
#include "app/dialogue/device_refusal.h"
#include "app/dialogue/dialogue.h"

bool Dialogue::ExchangeInProgress() const {
  return State.PhoneErasePending || State.PhoneWritePending || State.SmsDeletePending ||
         State.SmsWriteAfterDelete ||
         State.Commands.Holds([](const QueuedCommand& c) { return IsExchange(c.By); });
}

bool Dialogue::LineFree() const {
  // While the line is being found again, a resync that goes unanswered would
  // give up the exchange's commands queued behind it.
  return !State.Halted && !ExchangeInProgress() && !Holds(Owner::kResync);
}

bool Dialogue::ButtonsMayStart() const {
  return State.DeviceReady && LineFree();
}

void Dialogue::ReportRefusal(const QueuedCommand& command, const std::string& result,
                             const std::string& consequence) {
  view_.Report(RefusalText(command.Line, result) + (consequence.empty() ? "" : ". " + consequence));
}
