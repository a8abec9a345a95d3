// The network status poll: the link bar counts down every tick and only a
// registration reply fills it again; each registration reply starts a short
// chain of queries for the signal, the operator and the credit.
#include "app/dialogue/blocking_wait.h"
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

}  // namespace

void Dialogue::Timer1Timer() {
  view_.SetLinkProgress(view_.LinkProgress() - 1);
  if (view_.LinkProgress() == 0) ++State.LinkMissCount;
  if (view_.LinkProgress() < kButtonsBelow) view_.SetDialogueButtonsEnabled(false);
  if (State.LinkMissCount > kQueryAbove && PortNumber() != 0) Send("AT+CREG?");
  if (State.LinkMissCount > kForgetAbove) {
    State.LinkMissCount = 0;
    State.OperatorName.clear();
  }
  view_.SetLedVisible(false);
}

void Dialogue::RegistrationReply() {
  view_.SetLinkProgress(kLinkFull);
  view_.SetDialogueButtonsEnabled(true);
  State.LinkMissCount = 0;
  BlockingWait(kQueryWait);
  if (PortNumber() != 0) Send(State.OperatorName.empty() ? "AT+COPS?" : "AT+CSQ");
  State.DeviceReady = false;
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
  BlockingWait(kQueryWait);
  if (PortNumber() != 0) Send("AT+CAMM?");
  State.DeviceReady = false;
}

void Dialogue::CreditMaximumReply() {
  CutThrough('"');
  State.AcmBalance = QuotedHex(TextBefore('"'));
  BlockingWait(kQueryWait);
  if (PortNumber() != 0) Send("AT+CACM?");
  State.DeviceReady = false;
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
