// The network status poll: the link bar counts down every tick and only a
// registration answer fills it again; each one starts a short chain of
// queries for the signal, the operator and the credit. A registration that
// does not count, a SIM waiting for its PIN and a silent device are said in
// the status bar.
#include "app/dialogue/dialogue.h"
#include "app/dialogue/reply_text.h"

namespace {

constexpr int kLinkFull = 27;
constexpr int kButtonsBelow = 5;
constexpr int kQueryAbove = 8;
constexpr int kForgetAbove = 10;
constexpr DWORD kQueryWait = 100;
constexpr std::string::size_type kOperatorLength = 20;

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kAqua{0, 255, 255};
constexpr Rgb kLimeGreen{0, 255, 0};

constexpr int32_t kRegisteredHome = 1;
constexpr int32_t kRegisteredRoaming = 5;

Rgb SignalColour(int32_t quality) {
  if (quality >= 15 && quality <= 21) return kAqua;
  if (quality >= 22 && quality <= 31) return kLimeGreen;
  // Weak, unknown (99) and out of range alike.
  return kRed;
}

// The hexadecimal number between the line's next two double quotes, widened
// with its sign.
int64_t QuotedHex(const std::string& textBeforeQuote) {
  return ToInteger("$" + textBeforeQuote);
}

bool IsRegistrationQuery(const QueuedCommand& command) {
  return command.Line == "AT+CREG?";
}

bool IsDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

void Dialogue::Timer1Timer() {
  view_.SetLinkProgress(view_.LinkProgress() - 1);
  if (view_.LinkProgress() == 0) ++State.LinkMissCount;
  if (view_.LinkProgress() < kButtonsBelow) view_.SetDialogueButtonsEnabled(false);
  if (State.LinkMissCount > kQueryAbove) QueueRegistration();
  if (State.LinkMissCount > kForgetAbove) {
    State.LinkMissCount = 0;
    State.OperatorName.clear();
  }
  view_.SetLedVisible(false);
  ++State.Ticks;
  if (State.Commands.Expired(State.Ticks)) TimeLimitPassed();
  Pump();
}

void Dialogue::AskRegistration() {
  QueueRegistration();
  Pump();
}

void Dialogue::QueueRegistration() {
  // One query at a time: while one waits for its answer, asking again would
  // only pile up answers to take apart.
  if (PortNumber() != 0 && !State.Commands.Holds(IsRegistrationQuery)) {
    Queue("AT+CREG?", Owner::kPoll);
  }
}

void Dialogue::RegistrationReply() {
  // "+CREG: n,stat" with reports n 0 to 2; the unsolicited "+CREG: stat" form
  // has no second number and answers nothing.
  CutThrough(':');
  const std::string reports = Trimmed(TextBefore(','));
  CutThrough(',');
  const std::string stat = Trimmed(State.ReplyLine.substr(0, State.ReplyLine.find(',')));
  if (reports.size() != 1 || reports[0] < '0' || reports[0] > '2' || !IsDigits(stat)) return;
  const int32_t state = ToInteger(stat);
  if (state != kRegisteredHome && state != kRegisteredRoaming) {
    ShowRegistration(state);
    return;
  }
  ClearStatus();
  view_.SetLinkProgress(kLinkFull);
  view_.SetDialogueButtonsEnabled(true);
  State.LinkMissCount = 0;
  if (PortNumber() != 0) {
    Queue(State.OperatorName.empty() ? "AT+COPS?" : "AT+CSQ", Owner::kPoll, kQueryWait);
  }
}

void Dialogue::ShowRegistration(int32_t state) {
  switch (state) {
    case 0:
      ShowStatus(State.PinNeeded ? "Kestrix SIM PIN needed" : "Kestrix not registered");
      return;
    case 2:
      ShowStatus("Kestrix searching for a network");
      return;
    case 3:
      ShowStatus("Kestrix registration denied");
      return;
    case 4:
      ShowStatus("Kestrix registration unknown");
      return;
    default:
      ShowStatus("Kestrix not registered (state " + DecimalText(state) + ")");
  }
}

void Dialogue::ShowStatus(const std::string& text) {
  view_.SetOperatorPanel(text);
  State.StatusShown = true;
}

void Dialogue::ClearStatus() {
  if (!State.StatusShown) return;
  State.StatusShown = false;
  view_.SetOperatorPanel(State.OperatorName.empty() ? "Operator:"
                                                    : "Operator: " + State.OperatorName);
}

void Dialogue::SignalReply() {
  CutThrough(':');
  State.SignalQuality = ToInteger(Trimmed(TextBefore(',')));
  view_.SetSignal(State.SignalQuality, SignalColour(State.SignalQuality));
}

void Dialogue::OperatorReply() {
  const std::string& line = State.ReplyLine;
  const std::string::size_type quote = line.find('"');
  State.OperatorName = line.substr(quote == std::string::npos ? 0 : quote, kOperatorLength);
  view_.SetOperatorPanel("Operator: " + State.OperatorName);
  State.StatusShown = false;
  if (PortNumber() != 0) Queue("AT+CAMM?", Owner::kPoll, kQueryWait);
}

void Dialogue::CreditMaximumReply() {
  CutThrough('"');
  State.AcmBalance = QuotedHex(TextBefore('"'));
  if (PortNumber() != 0) Queue("AT+CACM?", Owner::kPoll, kQueryWait);
}

void Dialogue::CreditUsedReply() {
  CutThrough('"');
  // A maximum of 0 means the credit is not limited.
  const bool lump = State.AcmBalance == 0;
  if (lump) view_.SetCreditPanel("Credit: Lump");
  State.AcmBalance -= QuotedHex(TextBefore('"'));
  if (State.AcmBalance > 0) {
    view_.SetCreditPanel("Credit: " + DecimalText(State.AcmBalance));
  } else if (!lump) {
    // Used up: the last figure would promise credit that is gone.
    view_.SetCreditPanel("Credit: 0");
  }
}
