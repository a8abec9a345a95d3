#include "modem.h"

#include "at_command.h"
#include "command_table.h"
#include "message_write.h"

namespace kestrix {

namespace {

constexpr char kPrompt[] = "\r\n> ";

std::string Framed(const std::string& text) {
  return "\r\n" + text + "\r\n";
}

bool Listed(const std::set<std::string>& names, const std::vector<AtCommand>& commands) {
  for (const AtCommand& c : commands)
    if (names.contains(c.name)) return true;
  return false;
}

const char* CmeText(int code) {
  switch (code) {
    case 3:
      return "operation not allowed";
    case 4:
      return "operation not supported";
    case 20:
      return "memory full";
    case 21:
      return "invalid index";
    case 22:
      return "not found";
    case 24:
      return "text string too long";
    case 25:
      return "invalid characters in text string";
    case 26:
      return "dial string too long";
    case 27:
      return "invalid characters in dial string";
    case 50:
      return "incorrect parameters";
    default:
      return "unknown";
  }
}

}  // namespace

Modem::Modem(SimState& state, ModemOutput& output, CommandLog* log)
    : state_(state), output_(output), log_(log) {}

void Modem::Feed(std::string_view bytes) {
  for (char byte : bytes) {
    if (hungUp_) return;
    bool inText = parser_.InText();
    auto done = parser_.Feed(byte);
    // A modem echoes what it is typed, message texts too, but not the NULs
    // some clients pad with, nor the Ctrl-Z or Esc that end a text.
    bool terminator = inText && (byte == 0x1A || byte == 0x1B);
    if (settings_.echo && byte != 0 && !terminator) output_.Echo(std::string(1, byte));
    if (done) Handle(*done);
  }
}

void Modem::Handle(const CommandLineParser::Completed& done) {
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
      output_.Reply(ctx.TakeOutput() + Render(result));
      return;
    }
    case Kind::kLine:
      if (!IsCommandLine(done.content)) return;  // noise between commands
      if (log_) log_->Record(done.raw);
      ++commandCount_;
      if (done.overflow) {
        output_.Reply(Render(Result::Error()));
      } else {
        RunLine(done.content);
      }
      AfterCommand();
      return;
  }
}

void Modem::RunLine(const std::string& line) {
  auto commands = SplitCommandLine(line);
  if (!commands) {
    output_.Reply(Render(Result::Error()));
    return;
  }
  const Faults& faults = state_.faults;
  if (Listed(faults.ignore, *commands)) return;
  if (Listed(faults.fail, *commands)) {
    output_.Reply(Framed("ERROR"));
    return;
  }
  CommandContext ctx(state_, settings_);
  Result result = Result::Ok();
  for (const AtCommand& command : *commands) {
    auto handler = CommandTable().find(command.name);
    result = handler == CommandTable().end() ? Result::Error() : handler->second(ctx, command);
    if (result.kind != Result::Kind::kOk) break;
  }
  output_.Reply(ctx.TakeOutput() + Render(result));
}

std::string Modem::Render(const Result& result) {
  switch (result.kind) {
    case Result::Kind::kOk:
      return Framed("OK");
    case Result::Kind::kError:
      return Framed("ERROR");
    case Result::Kind::kCme:
      if (settings_.errorMode == 0) return Framed("ERROR");
      if (settings_.errorMode == 2)
        return Framed(std::string("+CME ERROR: ") + CmeText(result.code));
      return Framed("+CME ERROR: " + std::to_string(result.code));
    case Result::Kind::kCms:
      if (settings_.errorMode == 0) return Framed("ERROR");
      return Framed("+CMS ERROR: " + std::to_string(result.code));
    case Result::Kind::kPrompt:
      parser_.ExpectText();
      return kPrompt;
  }
  return Framed("ERROR");
}

void Modem::AfterCommand() {
  for (const Unsolicited& u : state_.faults.unsolicited)
    if (u.afterCommand == commandCount_) output_.Reply(Framed(u.line));
  if (state_.faults.hangupAfter > 0 && commandCount_ >= state_.faults.hangupAfter) {
    hungUp_ = true;
    output_.HangUp();
  }
}

}  // namespace kestrix
