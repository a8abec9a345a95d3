#include "message_write.h"

#include "charset.h"
#include "command_table.h"
#include "message_status.h"
#include "pdu.h"
#include "phone_number.h"

namespace kestrix {

namespace {

constexpr int kMaxTpduOctets = 164;
constexpr std::size_t kMaxNumberDigits = 20;

// AT+CMGW[=<da>[,<toda>[,<stat>]]]; the number may come without quotes.
Result StartText(CommandContext& ctx, const std::vector<Argument>& args) {
  PendingWrite pending;
  if (!args.empty()) pending.number = args[0].text;
  bool plus = !pending.number.empty() && pending.number[0] == '+';
  pending.type = plus ? 145 : 129;
  if (args.size() > 1 && !args[1].empty()) {
    auto type = ToNumber(args[1]);
    if (!type || *type < 128 || *type > 255) return Result::Cms(CmsError::kInvalidTextParameter);
    pending.type = *type;
  }
  if (args.size() > 2) {
    auto status = StatusFromText(args[2].text);
    if (!status) return Result::Cms(CmsError::kInvalidTextParameter);
    pending.status = *status;
  }
  if (args.size() > 3 || CheckNumber(pending.number, kMaxNumberDigits) != NumberCheck::kValid)
    return Result::Cms(CmsError::kInvalidTextParameter);
  ctx.settings.pending = pending;
  return Result::Prompt();
}

// AT+CMGW=<length>[,<stat>]
Result StartPdu(CommandContext& ctx, const std::vector<Argument>& args) {
  auto length = args.empty() ? std::nullopt : ToNumber(args[0]);
  if (!length || *length < 1 || *length > kMaxTpduOctets || args.size() > 2)
    return Result::Cms(CmsError::kInvalidPduParameter);
  PendingWrite pending;
  pending.pdu = true;
  pending.length = *length;
  pending.status = MessageStatus::kStoUnsent;
  if (args.size() == 2) {
    auto number = ToNumber(args[1]);
    auto status = number ? StatusFromNumber(*number) : std::nullopt;
    if (!status) return Result::Cms(CmsError::kInvalidPduParameter);
    pending.status = *status;
  }
  ctx.settings.pending = pending;
  return Result::Prompt();
}

Result Write(CommandContext& ctx, const AtCommand& c) {
  if (c.form == CommandForm::kTest) return Result::Ok();
  if (c.form == CommandForm::kRead) return Result::Error();
  // Checked before the prompt, so a full store costs the client no text.
  if (!FirstFreeIndex(ctx.state.messages)) return Result::Cms(CmsError::kMemoryFull);
  auto args = SplitArguments(c.args);
  Result result = ctx.settings.textMode ? StartText(ctx, args) : StartPdu(ctx, args);
  // A real SIM is slow to open a write, not only to finish it.
  if (result.kind == Result::Kind::kPrompt) ctx.MarkSimWrite();
  return result;
}

// A PDU may carry what the SIM cannot keep as a message of its own: a sender
// name, an over-long number or text, an invalid type of address. Storing it
// would garble every later listing and the saved state.
bool Storable(const DecodedPdu& pdu) {
  constexpr int kAlphanumericMask = 0x70;
  constexpr int kAlphanumeric = 0x50;
  constexpr int kLowestType = 128;
  return pdu.type >= kLowestType && (pdu.type & kAlphanumericMask) != kAlphanumeric &&
         CheckNumber(pdu.number, kMaxNumberDigits) == NumberCheck::kValid &&
         FitsOneMessage(pdu.text);
}

Result Store(CommandContext& ctx, Message message) {
  auto index = FirstFreeIndex(ctx.state.messages);
  if (!index) return Result::Cms(CmsError::kMemoryFull);
  ctx.state.messages.entries[*index] = std::move(message);
  ctx.MarkSimWrite();
  ctx.Line("+CMGW: " + std::to_string(*index));
  return Result::Ok();
}

}  // namespace

std::optional<int> FirstFreeIndex(const MessageStore& store) {
  for (int index = 1; index <= store.size; ++index)
    if (!store.entries.contains(index)) return index;
  return std::nullopt;
}

Result FinishMessageWrite(CommandContext& ctx, const std::string& entered) {
  const PendingWrite& pending = ctx.settings.pending;
  Message message;
  if (pending.pdu) {
    auto decoded = DecodePdu(entered, pending.length);
    if (!decoded || !Storable(*decoded)) return Result::Cms(CmsError::kInvalidPduParameter);
    message.number = decoded->number;
    message.type = decoded->type;
    message.text = decoded->text;
    message.timestamp = decoded->timestamp;
    message.status = pending.status;
    // A received message keeps its nature even when stored without a status.
    if (decoded->deliver && !IsReceived(message.status)) message.status = MessageStatus::kRecRead;
    if (!decoded->deliver && IsReceived(message.status))
      return Result::Cms(CmsError::kInvalidPduParameter);
  } else {
    auto text = FromClientCharset(ctx.settings.charset, entered);
    if (!text || !FitsOneMessage(*text)) return Result::Cms(CmsError::kInvalidTextParameter);
    message.number = pending.number;
    message.type = pending.type;
    message.text = *text;
    message.status = pending.status;
  }
  return Store(ctx, std::move(message));
}

void AddMessageWriteCommands(HandlerTable& table) {
  table["+CMGW"] = Write;
}

}  // namespace kestrix
