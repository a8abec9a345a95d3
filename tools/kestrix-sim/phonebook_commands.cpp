// The SIM phonebook: storage selection, reading, writing and erasing.
#include "charset.h"
#include "command_table.h"
#include "phone_number.h"

namespace kestrix {

namespace {

constexpr int kInternational = 145;
constexpr int kUnknown = 129;

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

Result SelectStorage(CommandContext& ctx, const AtCommand& c) {
  const Phonebook& book = ctx.state.phonebook;
  switch (c.form) {
    case CommandForm::kRead:
      ctx.Line("+CPBS: \"SM\"," + std::to_string(book.entries.size()) + "," +
               std::to_string(book.size));
      return Result::Ok();
    case CommandForm::kTest:
      ctx.Line("+CPBS: (\"SM\")");
      return Result::Ok();
    case CommandForm::kSet: {
      auto args = SplitArguments(c.args);
      if (args.empty() || args[0].text != "SM") return Result::Cme(CmeError::kNotSupported);
      return Result::Ok();
    }
    case CommandForm::kAction:
      return Result::Error();
  }
  return Result::Error();
}

std::string EntryLine(CommandContext& ctx, int location, const PhonebookEntry& e) {
  return "+CPBR: " + std::to_string(location) + "," + Quoted(e.number) + "," +
         std::to_string(e.type) + "," + Quoted(ToClientCharset(ctx.settings.charset, e.text));
}

Result Read(CommandContext& ctx, const AtCommand& c) {
  const Phonebook& book = ctx.state.phonebook;
  if (c.form == CommandForm::kTest) {
    ctx.Line("+CPBR: (1-" + std::to_string(book.size) + ")," +
             std::to_string(Phonebook::kNumberDigits) + "," +
             std::to_string(Phonebook::kTextLength));
    return Result::Ok();
  }
  if (c.form != CommandForm::kSet) return Result::Error();
  auto args = SplitArguments(c.args);
  if (args.empty() || args.size() > 2) return Result::Cme(CmeError::kIncorrectParameters);
  auto first = ToNumber(args[0]);
  auto last = args.size() == 2 ? ToNumber(args[1]) : first;
  if (!first || !last || *first < 1 || *last > book.size || *first > *last)
    return Result::Cme(CmeError::kInvalidIndex);
  for (auto it = book.entries.lower_bound(*first); it != book.entries.end() && it->first <= *last;
       ++it)
    ctx.Line(EntryLine(ctx, it->first, it->second));
  return Result::Ok();
}

std::optional<CmeError> NumberError(const std::string& number) {
  switch (CheckNumber(number, Phonebook::kNumberDigits)) {
    case NumberCheck::kValid:
      return std::nullopt;
    case NumberCheck::kInvalidCharacter:
      return CmeError::kInvalidDialString;
    case NumberCheck::kTooLong:
      return CmeError::kDialStringTooLong;
  }
  return CmeError::kInvalidDialString;
}

// The type decides the "+": an international number always shows it.
PhonebookEntry Normalised(std::string number, std::optional<int> type, std::string text) {
  bool plus = !number.empty() && number[0] == '+';
  int t = type.value_or(plus ? kInternational : kUnknown);
  if (plus) t = kInternational;
  if (t == kInternational && !plus) number.insert(0, "+");
  return PhonebookEntry{number, t, text};
}

std::optional<int> FirstFree(const Phonebook& book) {
  for (int location = 1; location <= book.size; ++location)
    if (!book.entries.contains(location)) return location;
  return std::nullopt;
}

Result Write(CommandContext& ctx, const AtCommand& c) {
  Phonebook& book = ctx.state.phonebook;
  if (c.form == CommandForm::kTest) {
    ctx.Line("+CPBW: (1-" + std::to_string(book.size) + ")," +
             std::to_string(Phonebook::kNumberDigits) + ",(129,145)," +
             std::to_string(Phonebook::kTextLength));
    return Result::Ok();
  }
  if (c.form != CommandForm::kSet) return Result::Error();
  auto args = SplitArguments(c.args);
  if (args.empty() || (args.size() == 1 && args[0].empty()))
    return Result::Cme(CmeError::kIncorrectParameters);
  std::optional<int> location;
  if (!args[0].empty()) {
    location = ToNumber(args[0]);
    if (!location || *location < 1 || *location > book.size)
      return Result::Cme(CmeError::kInvalidIndex);
  }
  if (args.size() == 1) {  // erase
    book.entries.erase(*location);
    ctx.MarkSimWrite();
    return Result::Ok();
  }
  if (auto error = NumberError(args[1].text)) return Result::Cme(*error);
  std::optional<int> type;
  if (args.size() > 2 && !args[2].empty()) {
    type = ToNumber(args[2]);
    if (!type || *type < 128 || *type > 255) return Result::Cme(CmeError::kIncorrectParameters);
  }
  std::optional<std::string> text = std::string();
  if (args.size() > 3) text = FromClientCharset(ctx.settings.charset, args[3].text);
  if (!text) return Result::Cme(CmeError::kInvalidText);
  if (text->size() > static_cast<std::size_t>(Phonebook::kTextLength))
    return Result::Cme(CmeError::kTextTooLong);
  if (!location) location = FirstFree(book);
  if (!location) return Result::Cme(CmeError::kMemoryFull);
  book.entries[*location] = Normalised(args[1].text, type, *text);
  ctx.MarkSimWrite();
  return Result::Ok();
}

}  // namespace

void AddPhonebookCommands(HandlerTable& table) {
  table["+CPBS"] = SelectStorage;
  table["+CPBR"] = Read;
  table["+CPBW"] = Write;
}

}  // namespace kestrix
