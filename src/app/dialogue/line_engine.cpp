// Start-up and the line engine: characters to reply lines, the monitor echo,
// and the route of each line: the text of a listed message, the echo of the
// command in flight, its final result, one of its information lines, or a
// line that answers nothing and is only shown.
#include <utility>

#include "app/dialogue/blocking_wait.h"
#include "app/dialogue/command_replies.h"
#include "app/dialogue/device_refusal.h"
#include "app/dialogue/dialogue.h"
#include "app/dialogue/reply_text.h"
#include "runtime/convert_error.h"

namespace {

constexpr unsigned char kCarriageReturn = 13;
constexpr unsigned char kFirstPrintable = 32;

}  // namespace

Dialogue::Dialogue(DialoguePort& port, DialogueView& view) : port_(port), view_(view) {}

void Dialogue::FormCreate() {
  State.ReplyLine.clear();
  State.StartComNumber = PortNumber();
  // The first write opens the port and, with none configured, asks for one;
  // a cancelled choice or a failed open raises here and leaves the 0 above.
  QueueSession();
  Pump();
  State.OperatorName.clear();
  State.CentreAsked = true;
  State.StartComNumber = PortNumber();
}

void Dialogue::TriggerAvail(WORD count) {
  view_.SetLedVisible(true);
  for (WORD i = 0; i < count; ++i) {
    // Codes are compared as unsigned bytes: 128 and up are text like any other.
    const auto c = static_cast<unsigned char>(port_.TakeChar());
    if (c == kCarriageReturn) {
      CompleteLine();
    } else if (c >= kFirstPrintable) {
      State.ReplyLine += static_cast<char>(c);
      // A listed message's text is text, even one that begins like the prompt;
      // the rest a failed handler left belongs to the line before.
      if (State.ReplyLine.compare(State.FailedRest, std::string::npos, "> ") == 0 &&
          !State.SmsTextPending) {
        PromptArrived();
      }
    }
    // Line feed and the other control characters are dropped.
  }
}

void Dialogue::CompleteLine() {
  view_.AppendMonitorLine(State.ReplyLine);
  // A handler that failed left the rest of its line in ReplyLine, and the
  // next characters were appended to it. The line is shown whole, but only
  // those characters are a reply: the rest, still holding its prefix, would
  // fail again, and a good reply joined to it would be lost.
  State.ReplyLine.erase(0, std::exchange(State.FailedRest, 0));
  // Handlers cut ReplyLine while they read it; the route looks at it whole.
  const std::string line = State.ReplyLine;
  try {
    RouteLine(line);
  } catch (const EConvertError& error) {
    // Reported, and the rest of the delivery is read at once: it may hold
    // the final result the exchange waits for.
    State.FailedRest = State.ReplyLine.size();
    view_.Report(error.what());
    Pump();
    return;
  }
  State.ReplyLine.clear();
  Pump();
}

void Dialogue::RouteLine(const std::string& line) {
  const QueuedCommand* command = State.Commands.InFlight();
  // A listed message's text is whatever the sender wrote: a stranger's text
  // that looks like a reply must not fill a field or drive an exchange.
  if (State.SmsTextPending) {
    State.Commands.Alive(State.Ticks);
    SmsTextLine(line);
  } else if (command && line == command->Line) {
    State.Commands.Alive(State.Ticks);
    EchoSeen();
  } else if (IsFinalResult(line)) {
    // Answers only the command in flight; a late or stray one changes nothing.
    if (command) FinalResult(line);
  } else if (command && IsInformationFor(command->Line, line)) {
    // Only the command's own lines keep it alive: a device that keeps
    // sending lines of its own must not hold off its time limit.
    State.Commands.Alive(State.Ticks);
    InformationLine(*command);
  } else {
    UnsolicitedLine(line);
  }
}

void Dialogue::FinalResult(const std::string& line) {
  const QueuedCommand done = State.Commands.Finish();
  State.DeviceReady = true;
  if (std::exchange(State.TimeOutsInARow, 0) >= kSilentAfter) ClearStatus();
  // A SIM that waits for its PIN refuses the phonebook and the store.
  if (line == "+CME ERROR: 11" || line == "+CMS ERROR: 311") State.PinNeeded = true;
  State.StoreTextSent = false;
  // The prompt that came meanwhile may still be open, the result a stray
  // one: it is cancelled before the next command goes.
  if (std::exchange(State.PromptUnanswered, false)) QueueEscape();
  switch (done.By) {
    case Owner::kSession:
    case Owner::kResync:
      SessionAnswered(done);
      break;
    case Owner::kPoll:
      // A refused query ends its chain; the next registration answer starts
      // it again.
      break;
    case Owner::kLoadPhonebook:
    case Owner::kSavePhonebook:
    case Owner::kDeletePhoneEntry:
    case Owner::kQuietListing:
      PhonebookAnswered(done, line);
      break;
    case Owner::kLoadSms:
    case Owner::kDeleteSms:
    case Owner::kSaveSms:
      SmsAnswered(done, line);
      break;
  }
}

void Dialogue::InformationLine(const QueuedCommand& command) {
  const std::string& sent = command.Line;
  if (sent == "AT+CPBR=?") {
    PhonebookRangeReply();
  } else if (sent.starts_with("AT+CPBR=")) {
    PhonebookEntryReply();
  } else if (sent.starts_with("AT+CMGL=")) {
    SmsListedReply();
  } else if (sent.starts_with("AT+CMGW=")) {
    SmsStoredReply();
  } else if (sent == "AT+CSCA?") {
    CentreReply();
  } else if (sent == "AT+CREG?") {
    RegistrationReply();
  } else if (sent == "AT+CSQ") {
    SignalReply();
  } else if (sent == "AT+COPS?") {
    OperatorReply();
  } else if (sent == "AT+CAMM?") {
    CreditMaximumReply();
  } else if (sent == "AT+CACM?") {
    CreditUsedReply();
  }
}

void Dialogue::CutThrough(char separator) {
  ::CutThrough(State.ReplyLine, separator);
}

std::string Dialogue::TextBefore(char separator) const {
  return ::TextBefore(State.ReplyLine, separator);
}

void Dialogue::Queue(const std::string& line, Owner by, DWORD waitBefore) {
  State.Commands.Push({line, by, waitBefore});
}

void Dialogue::Pump() {
  if (State.Halted) return;
  std::optional<QueuedCommand> next = State.Commands.TakeNext();
  if (!next) return;
  if (next->WaitBefore != 0) BlockingWait(next->WaitBefore);
  State.Commands.Alive(State.Ticks);
  try {
    Write(next->LineEnd ? next->Line + "\r\n" : next->Line);
  } catch (...) {
    // Never written, so never answered: it must not hold up the queue, and
    // the exchange it belongs to cannot go on.
    State.Commands.Finish();
    if (IsExchange(next->By)) EndExchanges();
    // No port could be opened: every later write would ask for one again.
    if (PortNumber() == 0) State.Commands.Clear();
    throw;
  }
}

void Dialogue::Write(const std::string& bytes) {
  port_.WriteText(bytes);
}

bool Dialogue::Holds(Owner by) const {
  return State.Commands.Holds([by](const QueuedCommand& c) { return c.By == by; });
}

WORD Dialogue::PortNumber() const {
  return port_.ComNumber();
}
