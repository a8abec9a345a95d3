// Commands about the device itself: echo, reset, identity, error reports,
// character set, SIM and functionality, and the call meter.
#include <cctype>
#include <cstdio>

#include "charset.h"
#include "command_table.h"

namespace kestrix {

namespace {

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A basic command's optional single digit ("E", "E0", "E1").
std::optional<int> BasicValue(const AtCommand& c) {
  if (c.args.empty()) return 0;
  return ToNumber(Argument{c.args, false});
}

Result Echo(CommandContext& ctx, const AtCommand& c) {
  auto value = BasicValue(c);
  if (!value || *value > 1) return Result::Error();
  ctx.settings.echo = *value == 1;
  return Result::Ok();
}

Result Reset(CommandContext& ctx, const AtCommand&) {
  ctx.settings = SessionSettings(ctx.state.powerUp);
  return Result::Ok();
}

Result Information(CommandContext& ctx, const AtCommand&) {
  const Identity& id = ctx.state.identity;
  ctx.Line(id.manufacturer);
  ctx.Line(id.model);
  ctx.Line("Revision: " + id.revision);
  return Result::Ok();
}

// Verbose result codes without suppression are all the device speaks.
Result OnlyDefault(CommandContext&, const AtCommand& c) {
  auto value = BasicValue(c);
  if (!value) return Result::Error();
  bool isDefault = (c.name == "V") ? (c.args.empty() || *value == 1) : *value == 0;
  return isDefault ? Result::Ok() : Result::Error();
}

Result Accept(CommandContext&, const AtCommand&) {
  return Result::Ok();
}

Result IdentityLine(CommandContext& ctx, const AtCommand& c, const std::string& value) {
  if (c.form == CommandForm::kTest) return Result::Ok();
  if (c.form != CommandForm::kAction) return Result::Error();
  ctx.Line(value);
  return Result::Ok();
}

Result Manufacturer(CommandContext& ctx, const AtCommand& c) {
  return IdentityLine(ctx, c, ctx.state.identity.manufacturer);
}
Result Model(CommandContext& ctx, const AtCommand& c) {
  return IdentityLine(ctx, c, ctx.state.identity.model);
}
Result Revision(CommandContext& ctx, const AtCommand& c) {
  return IdentityLine(ctx, c, ctx.state.identity.revision);
}
Result Serial(CommandContext& ctx, const AtCommand& c) {
  return IdentityLine(ctx, c, ctx.state.identity.serial);
}
Result Imsi(CommandContext& ctx, const AtCommand& c) {
  return IdentityLine(ctx, c, ctx.state.identity.imsi);
}

Result ErrorMode(CommandContext& ctx, const AtCommand& c) {
  switch (c.form) {
    case CommandForm::kRead:
      ctx.Line("+CMEE: " + std::to_string(ctx.settings.errorMode));
      return Result::Ok();
    case CommandForm::kTest:
      ctx.Line("+CMEE: (0-2)");
      return Result::Ok();
    case CommandForm::kSet: {
      auto args = SplitArguments(c.args);
      auto mode = args.size() == 1 ? ToNumber(args[0]) : std::nullopt;
      if (!mode || *mode < 0 || *mode > 2) return Result::Error();
      ctx.settings.errorMode = *mode;
      return Result::Ok();
    }
    case CommandForm::kAction:
      ctx.settings.errorMode = 0;
      return Result::Ok();
  }
  return Result::Error();
}

Result Charset(CommandContext& ctx, const AtCommand& c) {
  switch (c.form) {
    case CommandForm::kRead:
      ctx.Line("+CSCS: " + Quoted(ctx.settings.charset));
      return Result::Ok();
    case CommandForm::kTest:
      ctx.Line("+CSCS: (\"GSM\",\"IRA\")");
      return Result::Ok();
    case CommandForm::kSet: {
      auto args = SplitArguments(c.args);
      std::string set = args.size() == 1 ? Upper(args[0].text) : "";
      if (!IsSupportedCharset(set)) return Result::Cme(CmeError::kNotSupported);
      ctx.settings.charset = set;
      return Result::Ok();
    }
    case CommandForm::kAction:
      return Result::Error();
  }
  return Result::Error();
}

Result Pin(CommandContext& ctx, const AtCommand& c) {
  if (c.form == CommandForm::kTest) return Result::Ok();
  if (c.form != CommandForm::kRead) return Result::Cme(CmeError::kNotAllowed);
  ctx.Line(ctx.state.powerUp.simPin ? "+CPIN: SIM PIN" : "+CPIN: READY");
  return Result::Ok();
}

Result Functionality(CommandContext& ctx, const AtCommand& c) {
  switch (c.form) {
    case CommandForm::kRead:
      ctx.Line("+CFUN: " + std::to_string(ctx.settings.functionality));
      return Result::Ok();
    case CommandForm::kTest:
      ctx.Line("+CFUN: (0,1,4),(0,1)");
      return Result::Ok();
    case CommandForm::kSet: {
      auto args = SplitArguments(c.args);
      auto fun = args.empty() ? std::nullopt : ToNumber(args[0]);
      if (!fun || (*fun != 0 && *fun != 1 && *fun != 4))
        return Result::Cme(CmeError::kIncorrectParameters);
      ctx.settings.functionality = *fun;
      return Result::Ok();
    }
    case CommandForm::kAction:
      return Result::Error();
  }
  return Result::Error();
}

std::string MeterText(std::uint32_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%06X", value & 0xFFFFFFu);
  return text;
}

std::optional<std::uint32_t> MeterValue(const Argument& argument) {
  const std::string& t = argument.text;
  if (t.empty() || t.size() > 6) return std::nullopt;
  for (char ch : t)
    if (!std::isxdigit(static_cast<unsigned char>(ch))) return std::nullopt;
  return static_cast<std::uint32_t>(std::stoul(t, nullptr, 16));
}

Result MeterMaximum(CommandContext& ctx, const AtCommand& c) {
  switch (c.form) {
    case CommandForm::kRead:
      ctx.Line("+CAMM: " + Quoted(MeterText(ctx.state.charge.acmMax)));
      return Result::Ok();
    case CommandForm::kTest:
      return Result::Ok();
    case CommandForm::kSet: {
      auto args = SplitArguments(c.args);
      auto value = args.empty() ? std::optional<std::uint32_t>(0) : MeterValue(args[0]);
      if (!value) return Result::Cme(CmeError::kIncorrectParameters);
      ctx.state.charge.acmMax = *value;
      return Result::Ok();
    }
    case CommandForm::kAction:
      return Result::Error();
  }
  return Result::Error();
}

// Setting the accumulated call meter resets it; the optional argument is the
// SIM PIN2, which this SIM does not ask for.
Result Meter(CommandContext& ctx, const AtCommand& c) {
  switch (c.form) {
    case CommandForm::kRead:
      ctx.Line("+CACM: " + Quoted(MeterText(ctx.state.charge.acm)));
      return Result::Ok();
    case CommandForm::kTest:
      return Result::Ok();
    case CommandForm::kSet:
    case CommandForm::kAction:
      ctx.state.charge.acm = 0;
      return Result::Ok();
  }
  return Result::Error();
}

}  // namespace

void AddGeneralCommands(HandlerTable& table) {
  table["E"] = Echo;
  table["Z"] = Reset;
  table["&F"] = Reset;
  table["I"] = Information;
  table["V"] = OnlyDefault;
  table["Q"] = OnlyDefault;
  table["&C"] = Accept;
  table["&D"] = Accept;
  table["+CGMI"] = Manufacturer;
  table["+GMI"] = Manufacturer;
  table["+CGMM"] = Model;
  table["+GMM"] = Model;
  table["+CGMR"] = Revision;
  table["+GMR"] = Revision;
  table["+CGSN"] = Serial;
  table["+GSN"] = Serial;
  table["+CIMI"] = Imsi;
  table["+CMEE"] = ErrorMode;
  table["+CSCS"] = Charset;
  table["+CPIN"] = Pin;
  table["+CFUN"] = Functionality;
  table["+CAMM"] = MeterMaximum;
  table["+CACM"] = Meter;
}

}  // namespace kestrix
