// Start-up and the line engine: characters to reply lines, the monitor echo,
// the classification of each line and what an "OK" line advances.
#include <utility>

#include "app/dialogue/device_refusal.h"
#include "app/dialogue/dialogue.h"
#include "app/dialogue/reply_text.h"
#include "serial/ui/com_port.h"

namespace {

constexpr unsigned char kCarriageReturn = 13;
constexpr unsigned char kFirstPrintable = 32;

bool Contains(const std::string& line, const char* text) {
  return line.find(text) != std::string::npos;
}

}  // namespace

Dialogue::Dialogue(TSerCustomComPort& port, DialogueView& view) : port_(port), view_(view) {}

void Dialogue::FormCreate() {
  State.ReplyLine.clear();
  State.StartComNumber = PortNumber();
  // The first write opens the port and, with none configured, asks for one;
  // a cancelled choice or a failed open raises here and leaves the 0 above.
  // Echo off first: echoed commands would match the reply rules.
  Send("ATE");
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
      // A listed message's text is text, even one that begins like the prompt.
      if (State.ReplyLine == "> " && !State.SmsTextPending) SmsTextSend();
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
  // Handlers cut ReplyLine while they read it; the rules look at it whole.
  const std::string line = State.ReplyLine;
  NoteAnswer(line);
  try {
    ClassifyLine(line);
  } catch (...) {
    State.FailedRest = State.ReplyLine.size();
    throw;
  }
  State.ReplyLine.clear();
}

void Dialogue::ClassifyLine(const std::string& line) {
  // A listed message's text is whatever the sender wrote: a stranger's text
  // that looks like a reply must not fill a field or drive an exchange.
  if (State.SmsTextPending) {
    SmsTextLine(line);
  } else if (line == "OK") {
    OkLine();
  } else if (IsErrorResult(line)) {
    ErrorLine(line);
  } else if (Contains(line, "+CSCA")) {
    CentreReply();
  } else if (Contains(line, "+CMGW")) {
    SmsStoredReply();
  } else if (line == "+CREG: 0,1") {
    RegistrationReply();
  } else if (Contains(line, "+CSQ")) {
    SignalReply();
  } else if (Contains(line, "+COPS")) {
    OperatorReply();
  } else if (Contains(line, "+CAMM")) {
    CreditMaximumReply();
  } else if (Contains(line, "+CACM")) {
    CreditUsedReply();
  } else if (Contains(line, "+CMGL")) {
    SmsListedReply();
  } else if (Contains(line, "+CPBR")) {
    PhonebookEntryReply();
  }
}

void Dialogue::OkLine() {
  // Whatever it answers is done with; only a refusal is worth naming.
  TakeAnsweredCommand();
  State.DeviceReady = true;
  if (State.PhoneErasePending) {
    EraseStep();
  } else if (State.PhoneWritePending) {
    WriteStep();
  } else if (State.SmsDeletePending) {
    DeleteStep();
  }
  if (!State.CentreAsked) {
    State.CentreAsked = true;
    // Still part of the Load PBook that asked for it.
    if (PortNumber() != 0) SendAwaited("AT+CSCA?");
  }
}

void Dialogue::CutThrough(char separator) {
  ::CutThrough(State.ReplyLine, separator);
}

std::string Dialogue::TextBefore(char separator) const {
  return ::TextBefore(State.ReplyLine, separator);
}

void Dialogue::Send(const std::string& command) {
  port_.WriteText(command + "\r\n");
  NoteSent(command);
}

WORD Dialogue::PortNumber() const {
  return port_.ComNumber();
}
