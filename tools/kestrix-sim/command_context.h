// What a command handler works with: the device state, the settings of the
// current session, and the reply it builds; and what it answers in the end.
#pragma once

#include <array>
#include <string>

#include "sim_state.h"

namespace kestrix {

// A message being entered after the "> " prompt.
struct PendingWrite {
  bool pdu = false;
  int length = 0;  // PDU mode: TPDU octets announced
  std::string number;
  int type = 129;
  MessageStatus status = MessageStatus::kStoUnsent;
};

// Settings a client changes during a session; ATZ and a restart restore
// them to the power-up values.
struct SessionSettings {
  explicit SessionSettings(const PowerUp& start)
      : errorMode(start.errorMode),
        textMode(start.textMode),
        registrationReports(start.registrationReports) {}

  bool echo = true;
  int errorMode = 0;                // AT+CMEE
  bool textMode = true;             // AT+CMGF
  bool showHeader = false;          // AT+CSDH
  int registrationReports = 0;      // AT+CREG=n
  int gprsRegistrationReports = 0;  // AT+CGREG=n
  int operatorFormat = 0;           // AT+COPS=3,n: 0 long, 1 short, 2 numeric
  std::string charset = "IRA";
  std::array<int, 4> smsParameters = {17, 167, 0, 0};          // AT+CSMP fo,vp,pid,dcs
  std::array<int, 5> newMessageIndications = {0, 0, 0, 0, 0};  // AT+CNMI
  int messageService = 0;                                      // AT+CSMS
  int functionality = 1;                                       // AT+CFUN
  PendingWrite pending;
};

// CME/CMS error numbers of the cases the device reports.
enum class CmeError {
  kNotAllowed = 3,
  kNotSupported = 4,
  kSimPinRequired = 11,
  kMemoryFull = 20,
  kInvalidIndex = 21,
  kNotFound = 22,
  kTextTooLong = 24,
  kInvalidText = 25,
  kDialStringTooLong = 26,
  kInvalidDialString = 27,
  kIncorrectParameters = 50,
};
enum class CmsError {
  kNotAllowed = 302,
  kNotSupported = 303,
  kInvalidPduParameter = 304,
  kInvalidTextParameter = 305,
  kSimPinRequired = 311,
  kInvalidIndex = 321,
  kMemoryFull = 322,
};

struct Result {
  enum class Kind { kOk, kError, kCme, kCms, kPrompt };
  Kind kind = Kind::kOk;
  int code = 0;

  static Result Ok() { return {Kind::kOk, 0}; }
  static Result Error() { return {Kind::kError, 0}; }
  static Result Cme(CmeError e) { return {Kind::kCme, static_cast<int>(e)}; }
  static Result Cms(CmsError e) { return {Kind::kCms, static_cast<int>(e)}; }
  static Result Prompt() { return {Kind::kPrompt, 0}; }
};

class CommandContext {
 public:
  CommandContext(SimState& state, SessionSettings& settings) : state(state), settings(settings) {}

  // An information line, framed by CR LF on both sides.
  void Line(const std::string& text) { out_ += "\r\n" + text + "\r\n"; }
  // A line that belongs to the information line before it (a PDU, a text).
  void Body(const std::string& text) { out_ += text + "\r\n"; }
  std::string TakeOutput() { return std::move(out_); }
  // Said by the handlers that write the SIM: a slow SIM answers them late.
  void MarkSimWrite() { simWrite_ = true; }
  bool WroteSim() const { return simWrite_; }

  SimState& state;
  SessionSettings& settings;

 private:
  std::string out_;
  bool simWrite_ = false;
};

}  // namespace kestrix
