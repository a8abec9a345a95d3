#include "modem.h"

#include <ctime>

#include "at_command.h"
#include "command_table.h"
#include "incoming_message.h"
#include "message_write.h"
#include "result_code.h"
#include "sim_lock.h"

namespace kestrix {

namespace {

constexpr char kPrompt[] = "\r\n> ";

}  // namespace

Modem::Modem(SimState& state, ModemOutput& output, CommandLog* log)
    : state_(state), output_(output), log_(log), settings_(state.powerUp), faults_(state.faults) {}

void Modem::Feed(std::string_view bytes, Clock::time_point now) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (hungUp_) return;
    if (busy_) {
      if (!busy_->restarting) waiting_.append(bytes.substr(i));
      return;
    }
    Take(bytes[i], now);
  }
}

void Modem::Tick(Clock::time_point now) {
  while (busy_ && busy_->until <= now) {
    Busy done = std::move(*busy_);
    busy_.reset();
    for (const std::string& reply : done.replies)
      if (!reply.empty()) output_.Reply(reply);
    Finish(done.after);
    std::string waiting = std::move(waiting_);
    waiting_.clear();
    Feed(waiting, now);
  }
}

std::optional<Modem::Clock::time_point> Modem::BusyUntil() const {
  if (!busy_) return std::nullopt;
  return busy_->until;
}

void Modem::Take(char byte, Clock::time_point now) {
  bool inText = parser_.InText();
  auto done = parser_.Feed(byte);
  // A modem echoes what it is typed, message texts too, but not the NULs
  // some clients pad with, nor the Ctrl-Z or Esc that end a text.
  bool terminator = inText && (byte == 0x1A || byte == 0x1B);
  if (settings_.echo && byte != 0 && !terminator) output_.Echo(std::string(1, byte));
  if (done) Handle(*done, now);
}

void Modem::Handle(const CommandLineParser::Completed& done, Clock::time_point now) {
  using Kind = CommandLineParser::Kind;
  switch (done.kind) {
    case Kind::kLineFeed:
      if (log_) log_->Continue(done.raw);
      return;
    case Kind::kTextBreak:
      output_.Reply(kPrompt);
      return;
    case Kind::kCancelled:
      if (log_) log_->Record(done.raw);
      output_.Reply(Render(Result::Ok()));
      return;
    case Kind::kText: {
      if (log_) log_->Record(done.raw);
      CommandContext ctx(state_, settings_);
      Result result = done.overflow ? Result::Cms(CmsError::kInvalidTextParameter)
                                    : FinishMessageWrite(ctx, done.content);
      std::string reply = ctx.TakeOutput() + Render(result);
      Answer(std::move(reply), ctx.WroteSim(), LineFaults{}, now);
      return;
    }
    case Kind::kLine:
      HandleLine(done, now);
      return;
  }
}

void Modem::HandleLine(const CommandLineParser::Completed& done, Clock::time_point now) {
  if (!IsCommandLine(done.content)) return;  // noise between commands
  if (log_) log_->Record(done.raw);
  ++commandCount_;
  auto commands = done.overflow ? std::nullopt : SplitCommandLine(done.content);
  LineFaults faults = faults_.ForLine(commandCount_, commands.value_or(std::vector<AtCommand>{}));
  if (faults.restart) {
    Restart(std::move(faults), now);
    return;
  }
  Answered answered;  // an ignored line has none
  if (!commands) {
    answered.reply = Render(Result::Error());
  } else if (!faults.ignore) {
    answered = faults.fail ? Answered{Render(Result::Error())} : RunLine(*commands);
  }
  Answer(std::move(answered.reply), answered.simWrite, std::move(faults), now);
}

Modem::Answered Modem::RunLine(const std::vector<AtCommand>& commands) {
  CommandContext ctx(state_, settings_);
  Result result = Result::Ok();
  for (const AtCommand& command : commands) {
    auto handler = CommandTable().find(command.name);
    if (handler == CommandTable().end()) {
      result = Result::Error();
    } else if (auto refusal = SimLockRefusal(state_, command)) {
      result = *refusal;
    } else {
      result = handler->second(ctx, command);
    }
    if (result.kind != Result::Kind::kOk) break;
  }
  std::string output = ctx.TakeOutput();
  return Answered{output + Render(result), ctx.WroteSim()};
}

std::string Modem::Render(const Result& result) {
  if (result.kind != Result::Kind::kPrompt) return ResultCode(result, settings_.errorMode);
  parser_.ExpectText();
  return kPrompt;
}

// A slow SIM keeps the device busy until the write is done; only then does
// the answer leave, and only then is the next input read.
void Modem::Answer(std::string reply, bool simWrite, LineFaults after, Clock::time_point now) {
  if (after.lose) reply.clear();
  if (simWrite && state_.faults.simWriteMs > 0) {
    busy_ = Busy{now + std::chrono::milliseconds(state_.faults.simWriteMs),
                 {std::move(reply)},
                 std::move(after)};
    return;
  }
  if (!reply.empty()) output_.Reply(reply);
  Finish(after);
}

// The settings go back to power-up at once; the banners of the new start
// come after the pause. The SIM keeps what it holds.
void Modem::Restart(LineFaults after, Clock::time_point now) {
  settings_ = SessionSettings(state_.powerUp);
  parser_ = CommandLineParser();
  waiting_.clear();
  std::vector<std::string> banners = {Framed("RDY")};
  if (state_.powerUp.simPin) {
    banners.push_back(Framed("+CPIN: SIM PIN"));
  } else {
    for (const char* line : {"+CPIN: READY", "Call Ready", "SMS Ready"})
      banners.push_back(Framed(line));
  }
  busy_ = Busy{now + std::chrono::milliseconds(state_.faults.restartMs), std::move(banners),
               std::move(after), true};
}

void Modem::Finish(const LineFaults& after) {
  for (const std::string& line : after.unsolicited) output_.Reply(Framed(line));
  for (const IncomingMessage& message : after.incoming)
    if (auto announcement = Receive(state_.messages, message, std::time(nullptr)))
      output_.Reply(Framed(*announcement));
  if (after.hangUp) {
    hungUp_ = true;
    output_.HangUp();
  }
}

}  // namespace kestrix
