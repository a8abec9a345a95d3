// Listing, reading and deleting stored messages, in text and PDU mode.
#include "charset.h"
#include "command_table.h"
#include "message_status.h"
#include "pdu.h"

namespace kestrix {

namespace {

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// Which messages a listing asks for; nothing means all of them.
struct Selection {
  bool all = false;
  MessageStatus status = MessageStatus::kRecUnread;
  bool Matches(MessageStatus s) const { return all || s == status; }
};

// Text mode takes the status word, quoted or bare ("ALL" is often sent bare);
// PDU mode takes 0 to 4.
std::optional<Selection> ParseSelection(const CommandContext& ctx, const AtCommand& c) {
  auto args = SplitArguments(c.args);
  if (args.size() > 1) return std::nullopt;
  if (args.empty() || args[0].empty()) return Selection{};
  if (ctx.settings.textMode) {
    std::string word = args[0].text;
    for (char& ch : word) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (word == "ALL") return Selection{true};
    auto status = StatusFromText(word);
    if (!status) return std::nullopt;
    return Selection{false, *status};
  }
  auto n = ToNumber(args[0]);
  if (!n) return std::nullopt;
  if (*n == 4) return Selection{true};
  auto status = StatusFromNumber(*n);
  if (!status) return std::nullopt;
  return Selection{false, *status};
}

Result SyntaxError(const CommandContext& ctx) {
  return Result::Cms(ctx.settings.textMode ? CmsError::kInvalidTextParameter
                                           : CmsError::kInvalidPduParameter);
}

std::string ClientText(const CommandContext& ctx, const Message& m) {
  return ToClientCharset(ctx.settings.charset, m.text);
}

std::string TextHeaderDetails(const CommandContext& ctx, const Message& m) {
  return "," + std::to_string(m.type) + "," + std::to_string(ClientText(ctx, m).size());
}

// +CMGL: <index>,<stat>,<oa/da>,[<alpha>],[<scts>][,<tooa/toda>,<length>]
std::string ListLine(const CommandContext& ctx, int index, const Message& m) {
  std::string line = "+CMGL: " + std::to_string(index) + ",";
  if (!ctx.settings.textMode) {
    return line + std::to_string(StatusNumber(m.status)) + ",," +
           std::to_string(TpduLength(EncodePdu(m, ctx.state.centre)));
  }
  line += Quoted(StatusText(m.status)) + "," + Quoted(m.number) + ",,";
  if (IsReceived(m.status)) line += Quoted(m.timestamp);
  if (ctx.settings.showHeader) line += TextHeaderDetails(ctx, m);
  return line;
}

std::string Body(const CommandContext& ctx, const Message& m) {
  return ctx.settings.textMode ? ClientText(ctx, m) : EncodePdu(m, ctx.state.centre);
}

// Reading a received message marks it read, as on a handset.
void MarkRead(Message& m) {
  if (m.status == MessageStatus::kRecUnread) m.status = MessageStatus::kRecRead;
}

Result List(CommandContext& ctx, const AtCommand& c) {
  if (c.form == CommandForm::kTest) {
    ctx.Line(ctx.settings.textMode
                 ? "+CMGL: (\"REC UNREAD\",\"REC READ\",\"STO UNSENT\",\"STO SENT\",\"ALL\")"
                 : "+CMGL: (0-4)");
    return Result::Ok();
  }
  if (c.form == CommandForm::kRead) return Result::Error();
  auto selection = ParseSelection(ctx, c);
  if (!selection) return SyntaxError(ctx);
  for (auto& [index, message] : ctx.state.messages.entries) {
    if (!selection->Matches(message.status)) continue;
    ctx.Line(ListLine(ctx, index, message));
    ctx.Body(Body(ctx, message));
    MarkRead(message);
  }
  return Result::Ok();
}

std::string TextReadLine(const CommandContext& ctx, const Message& m) {
  const ServiceCentre& centre = ctx.state.centre;
  const auto& p = ctx.settings.smsParameters;
  std::string line = "+CMGR: " + Quoted(StatusText(m.status)) + "," + Quoted(m.number) + ",";
  if (IsReceived(m.status)) {
    line += "," + Quoted(m.timestamp);
    if (ctx.settings.showHeader)
      line += "," + std::to_string(m.type) + ",4,0,0," + Quoted(centre.number) + "," +
              std::to_string(centre.type) + "," + std::to_string(ClientText(ctx, m).size());
  } else if (ctx.settings.showHeader) {
    line += "," + std::to_string(m.type) + "," + std::to_string(p[0]) + "," + std::to_string(p[2]) +
            "," + std::to_string(p[3]) + "," + std::to_string(p[1]) + "," + Quoted(centre.number) +
            "," + std::to_string(centre.type) + "," + std::to_string(ClientText(ctx, m).size());
  }
  return line;
}

Result Read(CommandContext& ctx, const AtCommand& c) {
  if (c.form == CommandForm::kTest) return Result::Ok();
  if (c.form != CommandForm::kSet) return Result::Error();
  auto args = SplitArguments(c.args);
  auto index = args.size() == 1 ? ToNumber(args[0]) : std::nullopt;
  auto& entries = ctx.state.messages.entries;
  if (!index || !entries.contains(*index)) return Result::Cms(CmsError::kInvalidIndex);
  Message& m = entries.at(*index);
  if (ctx.settings.textMode) {
    ctx.Line(TextReadLine(ctx, m));
  } else {
    ctx.Line("+CMGR: " + std::to_string(StatusNumber(m.status)) + ",," +
             std::to_string(TpduLength(EncodePdu(m, ctx.state.centre))));
  }
  ctx.Body(Body(ctx, m));
  MarkRead(m);
  return Result::Ok();
}

// AT+CMGD=<index>[,<flag>]: flag 1 deletes all read, 2 also sent, 3 also
// unsent, 4 everything; an empty index in range is no error.
Result Delete(CommandContext& ctx, const AtCommand& c) {
  if (c.form == CommandForm::kTest) {
    ctx.Line("+CMGD: (1-" + std::to_string(ctx.state.messages.size) + "),(0-4)");
    return Result::Ok();
  }
  if (c.form != CommandForm::kSet) return Result::Error();
  auto args = SplitArguments(c.args);
  if (args.empty() || args.size() > 2) return Result::Cms(CmsError::kInvalidIndex);
  std::optional<int> flag = 0;
  if (args.size() == 2) flag = ToNumber(args[1]);
  if (!flag || *flag < 0 || *flag > 4) return SyntaxError(ctx);
  auto& entries = ctx.state.messages.entries;
  if (*flag == 0) {
    auto index = ToNumber(args[0]);
    if (!index || *index < 1 || *index > ctx.state.messages.size)
      return Result::Cms(CmsError::kInvalidIndex);
    entries.erase(*index);
    ctx.MarkSimWrite();
    return Result::Ok();
  }
  std::erase_if(entries, [&](const auto& item) {
    MessageStatus s = item.second.status;
    return *flag == 4 || s == MessageStatus::kRecRead ||
           (*flag >= 2 && s == MessageStatus::kStoSent) ||
           (*flag >= 3 && s == MessageStatus::kStoUnsent);
  });
  ctx.MarkSimWrite();
  return Result::Ok();
}

}  // namespace

void AddMessageReadCommands(HandlerTable& table) {
  table["+CMGL"] = List;
  table["+CMGR"] = Read;
  table["+CMGD"] = Delete;
}

}  // namespace kestrix
