// An exchange cut short, by a device that went away, restarted or stopped
// answering: what the exchange had done and what is left for the user to
// do, the end of every pending exchange, and the start-up state again once
// the device is back.
#include <string>
#include <vector>

#include "app/dialogue/dialogue.h"

namespace {

constexpr char kKeptNumbers[] = "; the fields still hold the numbers: press Save PBook again";
constexpr char kKeptMessages[] = "; the fields still hold the messages: press Save SMSs again";

std::string Count(int32_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string Dialogue::CutShortReport(const std::string& when) const {
  const ExchangeRecord& record = State.Record;
  // The counter may hold any index a listing gave, the lowest too.
  const int32_t done = State.StepIndex > 1 ? State.StepIndex - 1 : 0;
  std::vector<std::string> cut;
  if (State.PhoneErasePending) {
    cut.push_back("Save PBook was cut short after erasing " +
                  Count(record.ErasesAnswered, "entry", "entries") + kKeptNumbers + when);
  } else if (State.PhoneWritePending) {
    cut.push_back("Save PBook was cut short after writing " + std::to_string(done) +
                  " of the 9 numbers" + kKeptNumbers + when);
  } else if (Holds(Owner::kDeletePhoneEntry) || Holds(Owner::kLoadPhonebook) ||
             Holds(Owner::kSavePhonebook)) {
    cut.push_back(
        "The SIM phonebook listing was cut short; the tree holds only the entries that "
        "arrived: press Load PBook" +
        when);
  }
  const std::string deleted = "after deleting " + std::to_string(done) + " of the 6 messages";
  if (State.SmsDeletePending && State.SmsWriteAfterDelete) {
    cut.push_back("Save SMSs was cut short " + deleted + kKeptMessages + when);
  } else if (State.SmsDeletePending) {
    cut.push_back("Delele SMSs was cut short " + deleted + ": press Delele SMSs again" + when);
  } else if (State.SmsWriteAfterDelete) {
    cut.push_back("Save SMSs was cut short after storing " + std::to_string(done) +
                  " of the 6 messages" + kKeptMessages + when);
  } else if (Holds(Owner::kLoadSms) || Holds(Owner::kSaveSms)) {
    cut.push_back(
        "The SMS listing was cut short; the memo holds only the messages that arrived: press "
        "Load SMSs" +
        when);
  }
  std::string report;
  for (const std::string& sentence : cut) report += (report.empty() ? "" : ". ") + sentence;
  return report;
}

void Dialogue::EndExchanges() {
  // Some of a cut Save PBook's erasures and writes may have happened: the
  // locations it knew are no longer the SIM's.
  State.Record.ListQuietlyWhenBack = State.Record.ListQuietlyWhenBack ||
                                     Holds(Owner::kQuietListing) || State.PhoneErasePending ||
                                     State.PhoneWritePending;
  State.Commands.Discard([](const QueuedCommand& c) { return IsExchange(c.By); });
  State.Record.ErasesAnswered = 0;
  State.PhoneErasePending = false;
  State.PhoneWritePending = false;
  State.SmsDeletePending = false;
  State.SmsWriteAfterDelete = false;
  State.SmsTextPending = false;
  State.StoreTextSent = false;
  State.StoredAt.reset();
  State.StepIndex = 0;
  State.CentreAsked = true;
}

void Dialogue::ClearExchange() {
  EndExchanges();
  State.Commands.Clear();
  State.Halted = true;
  State.DeviceReady = false;
  State.ReplyLine.clear();
  State.FailedRest = 0;
}

void Dialogue::Restart() {
  State.Halted = false;
  State.Commands.Clear();
  State.LinkMissCount = 0;
  State.DeviceReady = false;
  State.TimeOutsInARow = 0;
  State.StatusShown = false;
  State.PinNeeded = false;
  // The SIM may be another one now.
  State.PhonebookLast = 0;
  FormCreate();
}
