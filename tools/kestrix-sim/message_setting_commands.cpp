// Settings of the message service: format, header display, sending
// parameters, service, storages, new-message indications, service centre.
#include "command_table.h"
#include "phone_number.h"

namespace kestrix {

namespace {

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// A 0/1 switch with the usual read, test and set forms.
Result Switch(CommandContext& ctx, const AtCommand& c, const std::string& prefix, bool& value,
              bool actionValue) {
  switch (c.form) {
    case CommandForm::kRead:
      ctx.Line(prefix + ": " + (value ? "1" : "0"));
      return Result::Ok();
    case CommandForm::kTest:
      ctx.Line(prefix + ": (0,1)");
      return Result::Ok();
    case CommandForm::kSet: {
      auto args = SplitArguments(c.args);
      auto n = args.size() == 1 ? ToNumber(args[0]) : std::nullopt;
      if (!n || *n < 0 || *n > 1) return Result::Error();
      value = *n == 1;
      return Result::Ok();
    }
    case CommandForm::kAction:
      value = actionValue;
      return Result::Ok();
  }
  return Result::Error();
}

Result Format(CommandContext& ctx, const AtCommand& c) {
  return Switch(ctx, c, "+CMGF", ctx.settings.textMode, false);
}

Result ShowHeader(CommandContext& ctx, const AtCommand& c) {
  return Switch(ctx, c, "+CSDH", ctx.settings.showHeader, false);
}

// Numeric parameters that are stored as given when each lies in its range.
template <std::size_t N>
Result Numbers(CommandContext& ctx, const AtCommand& c, const std::string& prefix,
               std::array<int, N>& values, const std::array<int, N>& maxima,
               const std::string& ranges) {
  switch (c.form) {
    case CommandForm::kRead: {
      std::string line = prefix + ": ";
      for (std::size_t i = 0; i < N; ++i) line += (i ? "," : "") + std::to_string(values[i]);
      ctx.Line(line);
      return Result::Ok();
    }
    case CommandForm::kTest:
      ctx.Line(prefix + ": " + ranges);
      return Result::Ok();
    case CommandForm::kSet: {
      auto args = SplitArguments(c.args);
      if (args.size() > N) return Result::Cms(CmsError::kNotSupported);
      std::array<int, N> next = values;
      for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].empty()) continue;
        auto n = ToNumber(args[i]);
        if (!n || *n < 0 || *n > maxima[i]) return Result::Cms(CmsError::kNotSupported);
        next[i] = *n;
      }
      values = next;
      return Result::Ok();
    }
    case CommandForm::kAction:
      return Result::Error();
  }
  return Result::Error();
}

Result Parameters(CommandContext& ctx, const AtCommand& c) {
  return Numbers<4>(ctx, c, "+CSMP", ctx.settings.smsParameters, {255, 255, 255, 255},
                    "(0-255),(0-255),(0-255),(0-255)");
}

Result Indications(CommandContext& ctx, const AtCommand& c) {
  return Numbers<5>(ctx, c, "+CNMI", ctx.settings.newMessageIndications, {2, 3, 3, 2, 1},
                    "(0-2),(0-3),(0-3),(0-2),(0,1)");
}

Result Service(CommandContext& ctx, const AtCommand& c) {
  switch (c.form) {
    case CommandForm::kRead:
      ctx.Line("+CSMS: " + std::to_string(ctx.settings.messageService) + ",1,1,1");
      return Result::Ok();
    case CommandForm::kTest:
      ctx.Line("+CSMS: (0,1)");
      return Result::Ok();
    case CommandForm::kSet: {
      auto args = SplitArguments(c.args);
      auto n = args.size() == 1 ? ToNumber(args[0]) : std::nullopt;
      if (!n || *n < 0 || *n > 1) return Result::Cms(CmsError::kNotSupported);
      ctx.settings.messageService = *n;
      ctx.Line("+CSMS: 1,1,1");
      return Result::Ok();
    }
    case CommandForm::kAction:
      return Result::Error();
  }
  return Result::Error();
}

// The SIM is the only message storage, for reading, writing and receiving.
Result Storages(CommandContext& ctx, const AtCommand& c) {
  const MessageStore& store = ctx.state.messages;
  std::string usage = std::to_string(store.entries.size()) + "," + std::to_string(store.size);
  switch (c.form) {
    case CommandForm::kRead:
      ctx.Line("+CPMS: \"SM\"," + usage + ",\"SM\"," + usage + ",\"SM\"," + usage);
      return Result::Ok();
    case CommandForm::kTest:
      ctx.Line("+CPMS: (\"SM\"),(\"SM\"),(\"SM\")");
      return Result::Ok();
    case CommandForm::kSet: {
      auto args = SplitArguments(c.args);
      if (args.empty() || args.size() > 3) return Result::Cms(CmsError::kNotSupported);
      for (const Argument& a : args)
        if (a.text != "SM") return Result::Cms(CmsError::kNotSupported);
      ctx.Line("+CPMS: " + usage + "," + usage + "," + usage);
      return Result::Ok();
    }
    case CommandForm::kAction:
      return Result::Error();
  }
  return Result::Error();
}

Result Centre(CommandContext& ctx, const AtCommand& c) {
  ServiceCentre& centre = ctx.state.centre;
  switch (c.form) {
    case CommandForm::kRead:
      ctx.Line("+CSCA: " + Quoted(centre.number) + "," + std::to_string(centre.type));
      return Result::Ok();
    case CommandForm::kTest:
      return Result::Ok();
    case CommandForm::kSet: {
      auto args = SplitArguments(c.args);
      if (args.empty() || args.size() > 2) return Result::Cms(CmsError::kNotSupported);
      bool plus = !args[0].text.empty() && args[0].text[0] == '+';
      std::optional<int> type = plus ? 145 : 129;
      if (args.size() == 2) type = ToNumber(args[1]);
      if (!type || *type < 128 || *type > 255) return Result::Cms(CmsError::kNotSupported);
      // Every PDU carries the centre's digits, and a saved state must load again.
      if (CheckNumber(args[0].text, Phonebook::kNumberDigits) != NumberCheck::kValid)
        return Result::Cms(CmsError::kNotSupported);
      centre = ServiceCentre{args[0].text, *type};
      return Result::Ok();
    }
    case CommandForm::kAction:
      return Result::Error();
  }
  return Result::Error();
}

}  // namespace

void AddMessageSettingCommands(HandlerTable& table) {
  table["+CMGF"] = Format;
  table["+CSDH"] = ShowHeader;
  table["+CSMP"] = Parameters;
  table["+CNMI"] = Indications;
  table["+CSMS"] = Service;
  table["+CPMS"] = Storages;
  table["+CSCA"] = Centre;
}

}  // namespace kestrix
