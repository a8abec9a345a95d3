// The SMS store exchange: the device keeps six messages at the SIM storage
// indexes 1 to 6. Load lists them into the fields and the memo, Delete
// deletes the six, Save deletes them and stores the fields' messages one by
// one, each a transaction of its own: the store command, the prompt, the
// text, the report of where it went and the final result.
#include <utility>

#include "app/dialogue/device_refusal.h"
#include "app/dialogue/dialogue.h"
#include "app/dialogue/reply_text.h"

namespace {

constexpr int32_t kFirstSlot = 1;
constexpr int32_t kLastSlot = 6;
constexpr DWORD kStoreWait = 200;
constexpr DWORD kSettleWait = 100;
constexpr char kCtrlZ = 26;
constexpr char kKeptMessages[] =
    "; the fields still hold what is to be saved: press Save SMSs again";

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

// How far a writing that stops at `slot` got.
std::string StoppedAt(int32_t slot) {
  return "Save SMSs stopped after storing " + DecimalText(slot - kFirstSlot) + " of the 6 messages";
}

}  // namespace

void Dialogue::ClearSmsFields() {
  for (int32_t slot = kFirstSlot; slot <= kLastSlot; ++slot)
    view_.SetFieldText(PhoneField(slot), "");
  for (int32_t slot = kFirstSlot; slot <= kLastSlot; ++slot)
    view_.SetFieldText(TextField(slot), "");
}

void Dialogue::ButtonLoadSMSClick() {
  if (!ButtonsMayStart() || PortNumber() == 0) return;
  view_.ClearSmsMemo();
  ClearSmsFields();
  Queue("AT+CMGL=ALL", Owner::kLoadSms);
  Pump();
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
  if (!ButtonsMayStart() || PortNumber() == 0) return;
  view_.ClearSmsMemo();
  State.SmsDeletePending = true;
  State.SmsWriteAfterDelete = false;
  ClearSmsFields();
  State.StepIndex = kFirstSlot;
  Queue("AT+CMGD=1", Owner::kDeleteSms);
  Pump();
}

void Dialogue::ButtonSaveSMSClick() {
  if (!ButtonsMayStart() || PortNumber() == 0) return;
  // The fields hold what is to be written, so they stay.
  view_.ClearSmsMemo();
  State.SmsDeletePending = true;
  State.SmsWriteAfterDelete = true;
  State.StepIndex = kFirstSlot;
  Queue("AT+CMGD=1", Owner::kSaveSms);
  Pump();
}

void Dialogue::SmsAnswered(const QueuedCommand& command, const std::string& result) {
  const bool ok = result == "OK";
  if (command.Line.starts_with("AT+CMGD=")) {
    // An index that holds nothing is as good as deleted.
    if (ok || MeansEmpty(result)) {
      view_.StepDone("SMS " + command.Line.substr(8) + " deleted");
    } else {
      ReportRefusal(command, result);
    }
    DeleteStep();
  } else if (command.Line.starts_with("AT+CMGW=")) {
    StoreAnswered(command, result);
  } else {
    State.SmsTextPending = false;
    if (!ok && !MeansEmpty(result)) ReportRefusal(command, result);
    view_.StepDone("messages read");
  }
}

void Dialogue::DeleteStep() {
  if (!State.SmsDeletePending) return;
  State.StepIndex = NextIndex(State.StepIndex);
  // A listed index may have left anything in the counter: past the slots,
  // whichever way, the deletion is over.
  if (IsSlot(State.StepIndex)) {
    if (PortNumber() != 0) {
      Queue("AT+CMGD=" + DecimalText(State.StepIndex),
            State.SmsWriteAfterDelete ? Owner::kSaveSms : Owner::kDeleteSms);
    }
    return;
  }
  State.SmsDeletePending = false;
  State.StepIndex = kFirstSlot;
  if (State.SmsWriteAfterDelete) StoreSlot(kFirstSlot, kSettleWait);
}

void Dialogue::StoreSlot(int32_t slot, DWORD wait) {
  State.StepIndex = slot;
  State.StoredAt.reset();
  QueuedCommand store{"AT+CMGW=" + view_.FieldText(PhoneField(slot)), Owner::kSaveSms, wait};
  store.Slot = slot;
  State.Commands.Push(store);
}

void Dialogue::PromptArrived() {
  const QueuedCommand* command = State.Commands.InFlight();
  if (command && command->Line.starts_with("AT+CMGW=") && !State.StoreTextSent) {
    State.Commands.Alive(State.Ticks);
    State.StoreTextSent = true;
    Write(view_.FieldText(TextField(command->Slot)) + kCtrlZ);
    return;
  }
  // A prompt nobody asked for would take every later byte as message text.
  if (!command) {
    QueueEscape();
    Pump();
    return;
  }
  // With another command in flight, that command may have gone into the
  // text: its final result or its time limit lets ESC cancel the prompt
  // before anything else is written.
  State.PromptUnanswered = true;
}

void Dialogue::SmsStoredReply() {
  CutThrough(':');
  State.StoredAt = ToInteger(Trimmed(State.ReplyLine));
}

void Dialogue::StoreAnswered(const QueuedCommand& command, const std::string& result) {
  const int32_t slot = command.Slot;
  const std::optional<int32_t> index = std::exchange(State.StoredAt, std::nullopt);
  if (result != "OK") {
    State.SmsWriteAfterDelete = false;
    ReportRefusal(command, result,
                  StoppedAt(slot) + ": indexes 1 to 6 are already deleted" + kKeptMessages);
    return;
  }
  if (index != slot) {
    // Another message took the index, one that arrived meanwhile perhaps:
    // the slots would no longer be where the device looks for them.
    State.SmsWriteAfterDelete = false;
    view_.Report("The device stored the message of slot " + DecimalText(slot) +
                 (index ? " at index " + DecimalText(*index) : " without saying where") +
                 ", not at index " + DecimalText(slot) + ". " + StoppedAt(slot) + kKeptMessages);
    return;
  }
  view_.StepDone("SMS " + DecimalText(slot) + " stored");
  if (slot < kLastSlot) {
    StoreSlot(slot + 1, kStoreWait);
  } else {
    EndSaveSms();
  }
}

void Dialogue::EndSaveSms() {
  State.StepIndex = 0;
  State.SmsWriteAfterDelete = false;
  ClearSmsFields();
  // The listing refills the fields from the SIM.
  if (PortNumber() != 0) Queue("AT+CMGL=ALL", Owner::kSaveSms, kSettleWait);
}
