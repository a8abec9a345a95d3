// A device that went away in the middle of an exchange: what the exchange had
// done and what is left for the user to do, the end of every pending
// exchange, and the start-up state again once the device is back.
#include <algorithm>
#include <string>
#include <vector>

#include "app/dialogue/device_refusal.h"
#include "app/dialogue/dialogue.h"

namespace {

// A device that never answers must not make the record grow without end.
constexpr size_t kMostUnanswered = 16;
constexpr char kListPhonebook[] = "AT+CPBR=1,100";
constexpr char kListSms[] = "AT+CMGL=ALL";
constexpr char kErase[] = "AT+CPBW=";
constexpr char kKeptNumbers[] =
    "; the fields still hold the numbers: press Save PBook again when the device is back";
constexpr char kKeptMessages[] =
    "; the fields still hold the messages: press Save SMSs again when the device is back";

// "AT+CPBW=" and a location; a write has a comma after the "=".
bool IsErase(const std::string& command) {
  constexpr size_t kPrefix = sizeof kErase - 1;
  return command.rfind(kErase, 0) == 0 && command.size() > kPrefix &&
         std::all_of(command.begin() + kPrefix, command.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

bool IsAnswer(const std::string& line) {
  return line == "OK" || IsErrorResult(line);
}

bool Awaits(const ExchangeRecord& record, const char* command) {
  return std::find(record.Unanswered.begin(), record.Unanswered.end(), command) !=
         record.Unanswered.end();
}

std::string Count(int32_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

void Dialogue::NoteSent(const std::string& command) {
  ExchangeRecord& record = State.Record;
  if (!State.PhoneErasePending) record.ErasesAnswered = 0;
  record.Unanswered.push_back(command);
  if (record.Unanswered.size() > kMostUnanswered) record.Unanswered.pop_front();
}

void Dialogue::NoteAnswer(const std::string& line) {
  ExchangeRecord& record = State.Record;
  if (!IsAnswer(line) || record.Unanswered.empty()) return;
  const std::string command = std::move(record.Unanswered.front());
  record.Unanswered.pop_front();
  if (line == "OK" && State.PhoneErasePending && IsErase(command)) ++record.ErasesAnswered;
  if (command == kListPhonebook) record.QuietListing = false;
  // Echo is off now, so the listing's lines cannot be mistaken for its echo.
  if (command == "ATE" && record.ListQuietlyWhenBack) {
    record.ListQuietlyWhenBack = false;
    State.SimIndex.fill(0);
    record.QuietListing = true;
    ListPhonebook();
  }
}

std::string Dialogue::CutShortReport() const {
  const ExchangeRecord& record = State.Record;
  std::vector<std::string> cut;
  if (State.PhoneErasePending) {
    cut.push_back("Save PBook was cut short after erasing " +
                  Count(record.ErasesAnswered, "entry", "entries") + kKeptNumbers);
  } else if (State.PhoneWritePending) {
    cut.push_back("Save PBook was cut short after writing " +
                  std::to_string(std::max(State.StepIndex - 1, 0)) + " of the 9 numbers" +
                  kKeptNumbers);
  } else if (Awaits(record, kListPhonebook) && !record.QuietListing) {
    cut.push_back(
        "The SIM phonebook listing was cut short; the tree holds only the entries that "
        "arrived: press Load PBook when the device is back");
  }
  const std::string deleted =
      "after deleting " + std::to_string(std::max(State.StepIndex - 1, 0)) + " of the 6 messages";
  if (State.SmsDeletePending && State.SmsWriteAfterDelete) {
    cut.push_back("Save SMSs was cut short " + deleted + kKeptMessages);
  } else if (State.SmsDeletePending) {
    cut.push_back("Delele SMSs was cut short " + deleted +
                  ": press Delele SMSs again when the device is back");
  } else if (State.SmsWriteAfterDelete) {
    cut.push_back("Save SMSs was cut short after storing " +
                  std::to_string(std::max(State.StepIndex - 1, 0)) + " of the 6 messages" +
                  kKeptMessages);
  } else if (Awaits(record, kListSms)) {
    cut.push_back(
        "The SMS listing was cut short; the memo holds only the messages that arrived: press "
        "Load SMSs when the device is back");
  }
  std::string report;
  for (const std::string& sentence : cut) report += (report.empty() ? "" : ". ") + sentence;
  return report;
}

void Dialogue::ClearExchange() {
  ExchangeRecord& record = State.Record;
  // Some of a cut Save PBook's erasures and writes may have happened: the
  // locations it knew are no longer the SIM's.
  record.ListQuietlyWhenBack = record.ListQuietlyWhenBack || record.QuietListing ||
                               State.PhoneErasePending || State.PhoneWritePending;
  record.QuietListing = false;
  record.Unanswered.clear();
  record.ErasesAnswered = 0;
  State.PhoneErasePending = false;
  State.PhoneWritePending = false;
  State.SmsDeletePending = false;
  State.SmsWriteAfterDelete = false;
  State.SmsTextPending = false;
  State.StepIndex = 0;
  State.DeviceReady = false;
  State.CentreAsked = true;
  State.ReplyLine.clear();
  State.FailedRest = 0;
  State.AwaitedCommand.clear();
  State.EarlierResultOwed = false;
}

void Dialogue::Restart() {
  // What the poll "sent" while the device was gone never reached it.
  State.Record.Unanswered.clear();
  State.LinkMissCount = 0;
  State.DeviceReady = false;
  FormCreate();
}
