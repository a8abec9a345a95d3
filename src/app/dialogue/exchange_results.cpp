// What the device's final results ("OK" or an error) mean to the exchanges.
// There is no request/reply matching; an exchange only knows the one command
// it last sent, so that a refusal can name it and a button knows when the
// exchange is over.
#include <utility>

#include "app/dialogue/device_refusal.h"
#include "app/dialogue/dialogue.h"

namespace {

bool IsStore(const std::string& command) {
  return command.starts_with("AT+CMGW=");
}

// An erase, write, delete or store. Only a refused change is reported: some
// devices answer a listing of an empty phonebook or store, or the centre
// query of a SIM without one, with an error the user need not act on.
bool ChangesTheSim(const std::string& command) {
  return command.starts_with("AT+CPBW=") || command.starts_with("AT+CMGD=") || IsStore(command);
}

}  // namespace

bool Dialogue::ExchangeInProgress() const {
  return State.PhoneErasePending || State.PhoneWritePending || State.SmsDeletePending ||
         State.SmsWriteAfterDelete || !State.AwaitedCommand.empty();
}

void Dialogue::SendAwaited(const std::string& command) {
  Send(command);
  State.AwaitedCommand = command;
}

std::string Dialogue::TakeAnsweredCommand() {
  if (std::exchange(State.EarlierResultOwed, false)) return {};
  std::string answered = std::exchange(State.AwaitedCommand, {});
  // Only a store's report says where the writing goes on.
  if (IsStore(answered)) State.SmsWriteAfterDelete = false;
  return answered;
}

void Dialogue::ErrorLine(const std::string& line) {
  const std::string refused = TakeAnsweredCommand();
  if (!ChangesTheSim(refused)) return;
  // Read whole: nothing of it is left over for the next line.
  State.ReplyLine.clear();
  throw EDeviceRefusal(RefusalText(refused, line));
}
