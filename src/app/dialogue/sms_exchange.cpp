// The SMS store exchange: the device keeps six messages at the SIM storage
// indexes 1 to 6. Load lists them into the fields and the memo, Delete
// deletes the six, Save deletes them and stores the fields' messages one by
// one, following the index the device reports for each.
#include "app/dialogue/blocking_wait.h"
#include "app/dialogue/dialogue.h"
#include "app/dialogue/reply_text.h"

namespace {

constexpr int32_t kFirstSlot = 1;
constexpr int32_t kLastSlot = 6;
constexpr DWORD kStoreWait = 200;
constexpr DWORD kSettleWait = 100;
constexpr char kCtrlZ = 26;
constexpr char kEscape = 27;

bool IsSlot(int32_t index) {
  return index >= kFirstSlot && index <= kLastSlot;
}

// Each slot's number and text are neighbours in the field order.
config::ConfigField PhoneField(int32_t slot) {
  return config::FieldAt(config::LineOf(config::ConfigField::SMSPhone1) + 2 * (slot - kFirstSlot));
}

config::ConfigField TextField(int32_t slot) {
  return config::FieldAt(config::LineOf(config::ConfigField::SMSText1) + 2 * (slot - kFirstSlot));
}

}  // namespace

void Dialogue::ClearSmsFields() {
  for (int32_t slot = kFirstSlot; slot <= kLastSlot; ++slot)
    view_.SetFieldText(PhoneField(slot), "");
  for (int32_t slot = kFirstSlot; slot <= kLastSlot; ++slot)
    view_.SetFieldText(TextField(slot), "");
}

void Dialogue::ButtonLoadSMSClick() {
  if (!State.DeviceReady || PortNumber() == 0 || ExchangeInProgress()) return;
  view_.ClearSmsMemo();
  ClearSmsFields();
  SendAwaited("AT+CMGL=ALL");
  State.DeviceReady = false;
}

void Dialogue::SmsListedReply() {
  // The text line follows whatever the header holds, so it is awaited even
  // when the index cannot be read.
  State.SmsTextPending = true;
  State.StepIndex = 0;
  CutThrough(':');
  view_.AppendSmsMemo(State.ReplyLine);
  State.StepIndex = ToInteger(Trimmed(TextBefore(',')));
  CutThrough('"');
  CutThrough(',');
  CutThrough('"');
  if (IsSlot(State.StepIndex)) view_.SetFieldText(PhoneField(State.StepIndex), TextBefore('"'));
}

void Dialogue::SmsTextLine(const std::string& line) {
  State.SmsTextPending = false;
  view_.AppendSmsMemo("\"" + line + "\"\r");
  if (IsSlot(State.StepIndex)) view_.SetFieldText(TextField(State.StepIndex), line);
}

void Dialogue::ButtonDeleteSMSClick() {
  if (!State.DeviceReady || PortNumber() == 0 || ExchangeInProgress()) return;
  view_.ClearSmsMemo();
  State.SmsDeletePending = true;
  ClearSmsFields();
  State.StepIndex = kFirstSlot;
  SendAwaited("AT+CMGD=1");
  State.DeviceReady = false;
}

void Dialogue::ButtonSaveSMSClick() {
  if (!State.DeviceReady || PortNumber() == 0 || ExchangeInProgress()) return;
  // The fields hold what is to be written, so they stay.
  view_.ClearSmsMemo();
  State.SmsDeletePending = true;
  State.SmsWriteAfterDelete = true;
  State.StepIndex = kFirstSlot;
  SendAwaited("AT+CMGD=1");
}

void Dialogue::DeleteStep() {
  State.StepIndex = NextIndex(State.StepIndex);
  // A listed index may have left anything in the counter: past the slots,
  // whichever way, the deletion is over.
  if (IsSlot(State.StepIndex)) {
    if (PortNumber() != 0) SendAwaited("AT+CMGD=" + DecimalText(State.StepIndex));
    State.DeviceReady = false;
    return;
  }
  State.SmsDeletePending = false;
  State.StepIndex = kFirstSlot;
  BlockingWait(kSettleWait);
  if (State.SmsWriteAfterDelete) SendAwaited("AT+CMGW=" + view_.FieldText(PhoneField(kFirstSlot)));
}

void Dialogue::SmsTextSend() {
  // A prompt left open would take every later byte, the status poll's too,
  // as message text: one with no text for it is cancelled.
  if (!IsSlot(State.StepIndex)) {
    port_.WriteText(std::string(1, kEscape));
    return;
  }
  port_.WriteText(view_.FieldText(TextField(State.StepIndex)) + kCtrlZ);
}

void Dialogue::SmsStoredReply() {
  CutThrough(':');
  // Any index past the last slot ends the chain; it never wraps to a slot.
  const int32_t stored = ToInteger(Trimmed(State.ReplyLine));
  State.StepIndex = stored >= kLastSlot ? kLastSlot + 1 : stored + 1;
  if (State.StepIndex <= kLastSlot) {
    BlockingWait(kStoreWait);
    if (State.StepIndex > kFirstSlot) {
      SendAfterReport("AT+CMGW=" + view_.FieldText(PhoneField(State.StepIndex)));
    }
    return;
  }
  State.StepIndex = 0;
  State.SmsWriteAfterDelete = false;
  ClearSmsFields();
  BlockingWait(kSettleWait);
  if (PortNumber() != 0) SendAfterReport("AT+CMGL=ALL");
  State.DeviceReady = false;
}

void Dialogue::SendAfterReport(const std::string& command) {
  SendAwaited(command);
  State.EarlierResultOwed = true;
}
