// Commands about the network: registration (circuit and GPRS), attachment,
// signal quality and the operator.
#include "command_table.h"

namespace kestrix {

namespace {

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

bool Registered(int status) {
  return status == 1 || status == 5;
}

// Without its PIN the SIM cannot register.
int CircuitStatus(const SimState& state) {
  return state.powerUp.simPin ? 0 : state.network.registration;
}

int GprsStatus(const SimState& state) {
  return state.powerUp.simPin ? 0 : state.network.gprsRegistration;
}

std::optional<int> SingleNumber(const AtCommand& c) {
  auto args = SplitArguments(c.args);
  return args.size() == 1 ? ToNumber(args[0]) : std::nullopt;
}

// +CREG and +CGREG share their form: <n>,<stat>[,<lac>,<ci>].
Result RegistrationReport(CommandContext& ctx, const AtCommand& c, const std::string& prefix,
                          int& reports, int status) {
  switch (c.form) {
    case CommandForm::kRead: {
      std::string line = prefix + ": " + std::to_string(reports) + "," + std::to_string(status);
      if (reports == 2 && Registered(status))
        line += "," + Quoted(ctx.state.network.lac) + "," + Quoted(ctx.state.network.ci);
      ctx.Line(line);
      return Result::Ok();
    }
    case CommandForm::kTest:
      ctx.Line(prefix + ": (0-2)");
      return Result::Ok();
    case CommandForm::kSet: {
      auto n = SingleNumber(c);
      if (!n || *n < 0 || *n > 2) return Result::Cme(CmeError::kIncorrectParameters);
      reports = *n;
      return Result::Ok();
    }
    case CommandForm::kAction:
      return Result::Error();
  }
  return Result::Error();
}

Result Registration(CommandContext& ctx, const AtCommand& c) {
  return RegistrationReport(ctx, c, "+CREG", ctx.settings.registrationReports,
                            CircuitStatus(ctx.state));
}

Result GprsRegistration(CommandContext& ctx, const AtCommand& c) {
  return RegistrationReport(ctx, c, "+CGREG", ctx.settings.gprsRegistrationReports,
                            GprsStatus(ctx.state));
}

Result GprsAttach(CommandContext& ctx, const AtCommand& c) {
  switch (c.form) {
    case CommandForm::kRead:
      ctx.Line(std::string("+CGATT: ") + (ctx.state.network.gprsAttached ? "1" : "0"));
      return Result::Ok();
    case CommandForm::kTest:
      ctx.Line("+CGATT: (0,1)");
      return Result::Ok();
    case CommandForm::kSet: {
      auto n = SingleNumber(c);
      if (!n || *n < 0 || *n > 1) return Result::Cme(CmeError::kIncorrectParameters);
      ctx.state.network.gprsAttached = *n == 1;
      return Result::Ok();
    }
    case CommandForm::kAction:
      return Result::Error();
  }
  return Result::Error();
}

Result SignalQuality(CommandContext& ctx, const AtCommand& c) {
  switch (c.form) {
    case CommandForm::kAction:
      ctx.Line("+CSQ: " + std::to_string(ctx.state.network.rssi) + "," +
               std::to_string(ctx.state.network.ber));
      return Result::Ok();
    case CommandForm::kTest:
      ctx.Line("+CSQ: (0-31,99),(0-7,99)");
      return Result::Ok();
    case CommandForm::kRead:
    case CommandForm::kSet:
      return Result::Error();
  }
  return Result::Error();
}

std::string OperatorText(const Network& network, int format) {
  return format == 2 ? network.operatorNumeric : network.operatorName;
}

// AT+COPS=<mode>[,<format>[,<oper>]]: automatic, manual (only the one
// network this SIM knows), deregister, or just choosing the reply format.
Result SelectOperator(CommandContext& ctx, const std::vector<Argument>& args) {
  auto mode = args.empty() ? std::nullopt : ToNumber(args[0]);
  std::optional<int> format = args.size() > 1 ? ToNumber(args[1]) : 0;
  if (!mode || *mode < 0 || *mode > 4 || !format || *format < 0 || *format > 2)
    return Result::Cme(CmeError::kIncorrectParameters);
  if (*mode == 3) {
    ctx.settings.operatorFormat = *format;
    return Result::Ok();
  }
  if (*mode == 1 || *mode == 4) {
    if (args.size() < 3) return Result::Cme(CmeError::kIncorrectParameters);
    if (args[2].text != OperatorText(ctx.state.network, *format))
      return Result::Cme(CmeError::kNotAllowed);
  }
  return Result::Ok();
}

Result Operator(CommandContext& ctx, const AtCommand& c) {
  const Network& network = ctx.state.network;
  switch (c.form) {
    case CommandForm::kRead:
      if (!Registered(CircuitStatus(ctx.state))) {
        ctx.Line("+COPS: 0");
      } else {
        int format = ctx.settings.operatorFormat;
        ctx.Line("+COPS: 0," + std::to_string(format) + "," +
                 Quoted(OperatorText(network, format)));
      }
      return Result::Ok();
    case CommandForm::kTest:
      ctx.Line("+COPS: (2," + Quoted(network.operatorName) + "," + Quoted(network.operatorName) +
               "," + Quoted(network.operatorNumeric) + "),,(0-4),(0-2)");
      return Result::Ok();
    case CommandForm::kSet:
      return SelectOperator(ctx, SplitArguments(c.args));
    case CommandForm::kAction:
      return Result::Error();
  }
  return Result::Error();
}

}  // namespace

void AddNetworkCommands(HandlerTable& table) {
  table["+CREG"] = Registration;
  table["+CGREG"] = GprsRegistration;
  table["+CGATT"] = GprsAttach;
  table["+CSQ"] = SignalQuality;
  table["+COPS"] = Operator;
}

}  // namespace kestrix
