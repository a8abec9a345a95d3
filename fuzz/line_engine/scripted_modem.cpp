#include "line_engine/scripted_modem.h"

#include <algorithm>
#include <array>
#include <utility>

namespace fuzz {
namespace {

constexpr char kCtrlZ = 26;
constexpr char kEscape = 27;
constexpr unsigned char kFirstPrintable = 32;

constexpr std::array<const char*, 14> kRefusals{
    "ERROR",           "+CME ERROR: 3",   "+CME ERROR: 10",  "+CME ERROR: 11",  "+CME ERROR: 20",
    "+CME ERROR: 21",  "+CME ERROR: 22",  "+CME ERROR: 100", "+CMS ERROR: 302", "+CMS ERROR: 304",
    "+CMS ERROR: 311", "+CMS ERROR: 321", "+CMS ERROR: 322", "+CMS ERROR: 500",
};

// The unsolicited lines, by number; three stand for more than a line.
constexpr std::array<const char*, 13> kUnsolicited{
    "RING",      "+CMTI",          "+CREG: 1",
    "+CREG: 5",  "NO CARRIER",     "+CUSD: 0,\"Credit 10 EUR\",15",
    "RDY",       "+CPIN: READY",   "Call Ready",
    "SMS Ready", "+CPIN: SIM PIN", "echo",
    "> ",
};
constexpr int kMessageArrived = 1;  // a stranger's message is stored first
constexpr int kEcho = 11;           // of the oldest command not answered
constexpr int kStrayPrompt = 12;    // that nothing asked for

constexpr char kBanners[] = "\r\nRDY\r\n\r\n+CPIN: READY\r\n\r\nCall Ready\r\n\r\nSMS Ready\r\n";

}  // namespace

void ScriptedModem::Receive(std::string_view bytes) {
  for (char c : bytes) Take(c);
}

void ScriptedModem::Take(char c) {
  raw_ += c;
  if (prompt_) {
    if (c == kCtrlZ) {
      unanswered_.push_back({Kind::Text, std::move(raw_), prompt_->Text, prompt_->Number});
    } else if (c == kEscape) {
      unanswered_.push_back({Kind::Escape, std::move(raw_), {}, {}});
    } else {
      prompt_->Text += c;
      return;
    }
    raw_.clear();
    prompt_.reset();
    return;
  }
  if (c == '\r') {
    if (!line_.empty()) {
      unanswered_.push_back({Kind::Line, std::move(raw_), std::move(line_), {}});
      raw_.clear();
    }
    line_.clear();
  } else if (c == kCtrlZ || c == kEscape) {
    // A command line cut short is thrown away.
    line_.clear();
  } else if (static_cast<unsigned char>(c) >= kFirstPrintable) {
    line_ += c;
  }
}

std::optional<ScriptedModem::Received> ScriptedModem::Oldest() {
  if (unanswered_.empty()) return std::nullopt;
  Received oldest = std::move(unanswered_.front());
  unanswered_.pop_front();
  return oldest;
}

std::string ScriptedModem::EchoOf(const Received& received) const {
  return answers_.Echo ? received.Raw : std::string();
}

std::string ScriptedModem::Answer() {
  std::optional<Received> oldest = Oldest();
  return oldest ? InTurn(std::move(*oldest), How::Answer, 0) : std::string();
}

std::string ScriptedModem::Drop() {
  std::optional<Received> oldest = Oldest();
  return oldest ? EchoOf(*oldest) : std::string();
}

std::string ScriptedModem::Late(int ticks) {
  std::optional<Received> oldest = Oldest();
  if (!oldest) return {};
  const std::string echo = EchoOf(*oldest);
  const int64_t due = std::max(ticks_ + ticks, late_.empty() ? 0 : late_.back().Tick);
  late_.push_back({std::move(*oldest), How::Answer, 0, due});
  return echo;
}

std::string ScriptedModem::Refuse(int which) {
  std::optional<Received> oldest = Oldest();
  return oldest ? InTurn(std::move(*oldest), How::Refuse, which) : std::string();
}

std::string ScriptedModem::InTurn(Received received, How way, int refusal) {
  const std::string echo = EchoOf(received);
  if (!late_.empty()) {
    late_.push_back({std::move(received), way, refusal, late_.back().Tick});
    return echo;
  }
  return echo + Respond(received, way, refusal);
}

std::string ScriptedModem::Respond(const Received& received, How way, int refusal) {
  if (way == How::Refuse) {
    return Framed(kRefusals[static_cast<std::size_t>(refusal) % kRefusals.size()]);
  }
  switch (received.What) {
    case Kind::Escape:
      return Framed("OK");
    case Kind::Text:
      return answers_.Store(received.Number, received.Line);
    case Kind::Line:
      break;
  }
  std::optional<std::string> storeFor;
  std::string reply = answers_.Run(received.Line, storeFor);
  if (storeFor) OpenPrompt(*storeFor);
  return reply;
}

void ScriptedModem::OpenPrompt(const std::string& number) {
  std::string after;
  for (const Received& received : unanswered_) after += received.Raw;
  after += raw_;
  unanswered_.clear();
  raw_.clear();
  line_.clear();
  prompt_ = Prompt{number, {}};
  Receive(after);
}

std::string ScriptedModem::Unsolicited(int which) {
  const std::size_t at = static_cast<std::size_t>(which) % kUnsolicited.size();
  switch (at) {
    case kMessageArrived: {
      const std::optional<int> index = answers_.MessageArrives();
      return index ? Framed("+CMTI: \"SM\"," + std::to_string(*index)) : std::string();
    }
    case kEcho:
      return unanswered_.empty() ? std::string() : unanswered_.front().Raw;
    case kStrayPrompt:
      return "\r\n> ";
    default:
      return Framed(kUnsolicited[at]);
  }
}

std::string ScriptedModem::Restart() {
  unanswered_.clear();
  late_.clear();
  raw_.clear();
  line_.clear();
  prompt_.reset();
  answers_.Restart();
  return kBanners;
}

std::string ScriptedModem::TickPassed() {
  ++ticks_;
  return DueNow();
}

std::string ScriptedModem::DueNow() {
  std::string bytes;
  while (!late_.empty() && late_.front().Tick <= ticks_) {
    const Due due = std::move(late_.front());
    late_.pop_front();
    bytes += Respond(due.What, due.Way, due.Refusal);
  }
  return bytes;
}

void ScriptedModem::SetRegistration(int code) {
  answers_.Registration = code % 6;
  answers_.Reports = code / 6 % 3;
}

std::string ScriptedModem::BehaveWell() {
  answers_.Registration = 1;
  answers_.Reports = 0;
  answers_.TextMode = true;
  for (Due& due : late_) due.Tick = ticks_;
  return DueNow();
}

}  // namespace fuzz
