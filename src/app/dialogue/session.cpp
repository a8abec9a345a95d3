// The session with the device: echo off and text mode at start, again when
// the device shows it has restarted (its banners, or an echo), the time
// limit of every command, and finding the line again after one ran out.
#include <utility>

#include "app/dialogue/command_replies.h"
#include "app/dialogue/dialogue.h"

namespace {

constexpr char kEchoOff[] = "ATE";
constexpr char kTextMode[] = "AT+CMGF=1";
constexpr char kEscape[] = "\x1b";
constexpr int kEscapeLimit = 2;

bool IsSession(const QueuedCommand& command) {
  return command.By == Owner::kSession;
}

}  // namespace

void Dialogue::QueueSession() {
  // Ahead of everything else, echo off first: echoed commands would be
  // taken for their replies.
  State.Commands.Discard(IsSession);
  State.Commands.PushFront({kTextMode, Owner::kSession});
  State.Commands.PushFront({kEchoOff, Owner::kSession});
}

void Dialogue::EchoSeen() {
  // Echo stays on until the set-up has taken effect.
  const QueuedCommand* command = State.Commands.InFlight();
  if (command && IsSession(*command)) return;
  if (!State.Commands.Waiting(IsSession)) QueueSession();
}

void Dialogue::SessionAnswered(const QueuedCommand& command) {
  // Echo is off, or the line is found again: a Save PBook that was cut short
  // left the SIM's locations unknown.
  if ((command.Line == kEchoOff || command.Line == "AT") && State.Record.ListQuietlyWhenBack) {
    State.Record.ListQuietlyWhenBack = false;
    State.SimIndex.fill(0);
    ListPhonebook(Owner::kQuietListing);
  }
}

void Dialogue::UnsolicitedLine(const std::string& line) {
  if (line.starts_with("+CPIN: ")) State.PinNeeded = line != "+CPIN: READY";
  if (!IsRestartBanner(line)) return;
  // The first banner: whatever was in flight went with the old session.
  const QueuedCommand* command = State.Commands.InFlight();
  if (line == "RDY" && command && !IsSession(*command)) {
    if (IsExchange(command->By)) CutShort(" restarted");
    State.Commands.Finish();
    State.DeviceReady = false;
  }
  // Again for each banner: a module may refuse text mode until "SMS Ready".
  if (!State.Commands.Waiting(IsSession)) QueueSession();
}

void Dialogue::TimeLimitPassed() {
  const QueuedCommand lost = *State.Commands.InFlight();
  State.StoreTextSent = false;
  State.SmsTextPending = false;
  if (lost.Line == kEscape) {
    // No answer to a cancelled prompt is fine.
    State.Commands.Finish();
    return;
  }
  NoteTimeOut();
  // A device that keeps silent may be taking every byte as the text of a
  // prompt that went unseen.
  const bool promptMayBeOpen = std::exchange(State.PromptUnanswered, false) ||
                               lost.Line.starts_with("AT+CMGW=") ||
                               State.TimeOutsInARow >= kSilentAfter;
  if (IsExchange(lost.By)) CutShort(" did not answer " + lost.Line + " within 10 seconds");
  State.Commands.Finish();
  // A lost poll answer is asked for again by the next query; anything else
  // finds the line again before the next command.
  if (lost.By == Owner::kPoll) {
    if (promptMayBeOpen) QueueEscape();
    return;
  }
  State.DeviceReady = false;
  if (lost.By == Owner::kSession) {
    QueueSession();
    if (promptMayBeOpen) QueueEscape();
  } else {
    Resync(promptMayBeOpen);
  }
}

void Dialogue::CutShort(const std::string& what) {
  // Said before the exchange ends, while it still knows how far it got.
  const std::string cut = CutShortReport(" once it answers again");
  const bool quiet = State.Commands.InFlight()->By == Owner::kQuietListing;
  EndExchanges();
  if (quiet) return;
  view_.Report("The Kestrix on COM" + std::to_string(PortNumber()) + what +
               (cut.empty() ? "" : ". " + cut));
}

void Dialogue::Resync(bool promptMayBeOpen) {
  // Whatever was still to go belonged to what is now given up.
  State.Commands.Discard([](const QueuedCommand& c) { return !IsSession(c); });
  State.Commands.PushFront({"AT", Owner::kResync});
  if (promptMayBeOpen) QueueEscape();
}

void Dialogue::QueueEscape() {
  QueuedCommand escape{kEscape, Owner::kResync};
  escape.LineEnd = false;
  escape.TimeLimit = kEscapeLimit;
  State.Commands.PushFront(escape);
}

void Dialogue::NoteTimeOut() {
  if (++State.TimeOutsInARow >= kSilentAfter) ShowStatus("Kestrix does not answer");
}
