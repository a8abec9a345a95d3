// The line-engine fuzzer's modem behaves as a modem does: it answers in the
// order it was asked, also behind a late answer; what reaches it while its
// prompt is open is message text; a restart brings echo and PDU mode back.
// Each case is the dialogue's bytes, the script's mark and the bytes that
// come back, in turns.
#include <gtest/gtest.h>

#include <functional>

#include "line_engine/scripted_modem.h"

namespace {

using fuzz::ScriptedModem;
using Mark = std::function<std::string(ScriptedModem&)>;

const Mark kAnswer = [](ScriptedModem& modem) { return modem.Answer(); };
const Mark kDrop = [](ScriptedModem& modem) { return modem.Drop(); };
const Mark kTick = [](ScriptedModem& modem) { return modem.TickPassed(); };
const Mark kRestart = [](ScriptedModem& modem) { return modem.Restart(); };
Mark Late(int ticks) {
  return [ticks](ScriptedModem& modem) { return modem.Late(ticks); };
}
Mark Refuse(int which) {
  return [which](ScriptedModem& modem) { return modem.Refuse(which); };
}
Mark Unsolicited(int which) {
  return [which](ScriptedModem& modem) { return modem.Unsolicited(which); };
}
Mark SimSize(int size) {
  return [size](ScriptedModem& modem) {
    modem.SetPhonebookSize(size);
    return std::string();
  };
}

struct Turn {
  std::string Written;
  Mark Then;
  std::string Sent;
};

const std::string kOk = "\r\nOK\r\n";

TEST(LineEngineModem, AnswersAsAModemDoes) {
  // Echo on at power-up, turned off by ATE; text mode set.
  const std::vector<Turn> start{{"ATE\r\n", kAnswer, "ATE\r" + kOk},
                                {"AT+CMGF=1\r\n", kAnswer, kOk}};
  const std::vector<std::pair<const char*, std::vector<Turn>>> cases{
      {"queries answered with their lines",
       {{"AT+CSQ\r\n", kAnswer, "\r\n+CSQ: 21,99\r\n" + kOk},
        {"AT+CPBR=1,3\r\n", kAnswer,
         "\r\n+CPBR: 1,\"+436641234567\",145,\"MASTER1\"\r\n+CPBR: "
         "2,\"+436649876543\",145,\"MASTER2\"\r\n+CPBR: 3,\"06641112223\",129,\"SERVICE\"\r\n" +
             kOk}}},
      {"answers behind a late one wait for it",
       {{"AT\r\nAT+CSQ\r\n", Late(2), ""},
        {"", kAnswer, ""},
        {"", kTick, ""},
        {"", kTick, kOk + "\r\n+CSQ: 21,99\r\n" + kOk}}},
      {"refused, or never answered",
       {{"AT+CMGD=1\r\nAT\r\n", Refuse(13), "\r\n+CMS ERROR: 500\r\n"},
        {"", kDrop, ""},
        {"", kAnswer, ""}}},
      {"what comes after a store is its text",
       {{"AT+CMGD=1\r\nAT+CMGD=2\r\nAT+CMGD=7\r\n", kAnswer, kOk},
        {"", kAnswer, kOk},
        {"", kAnswer, kOk},
        {"AT+CMGW=+43\r\nAT+CSQ\r\n", kAnswer, "\r\n> "},
        {"", kAnswer, ""},
        {"hi\x1a", kAnswer, "\r\n+CMGW: 1\r\n" + kOk},
        {"AT+CMGL=ALL\r\n", kAnswer,
         "\r\n+CMGL: 1,\"STO UNSENT\",\"+43\",,\r\n\nAT+CSQ\r\nhi\r\n" + kOk}}},
      {"ESC cancels a prompt",
       {{"AT+CMGW=+43\r\n", kAnswer, "\r\n> "}, {"\x1b", kAnswer, kOk}, {"AT\r\n", kAnswer, kOk}}},
      {"a stranger's message takes the first free index",
       {{"", Unsolicited(1), "\r\n+CMTI: \"SM\",3\r\n"},
        {"AT+CMGW=+43\r\n", kAnswer, "\r\n> "},
        {"hi\x1a", kAnswer, "\r\n+CMGW: 4\r\n" + kOk}}},
      {"an echo of what it was asked", {{"AT+CSQ\r\n", Unsolicited(11), "\nAT+CSQ\r"}}},
      {"a restart forgets, echoes and is in PDU mode",
       {{"AT\r\n", kRestart, "\r\nRDY\r\n\r\n+CPIN: READY\r\n\r\nCall Ready\r\n\r\nSMS Ready\r\n"},
        {"", kAnswer, ""},
        {"AT+CMGL=ALL\r\n", kAnswer, "AT+CMGL=ALL\r\r\n+CMS ERROR: 304\r\n"}}},
      {"a SIM of 50 locations",
       {{"", SimSize(50), ""},
        {"AT+CPBR=1,100\r\n", kAnswer, "\r\n+CME ERROR: 21\r\n"},
        {"AT+CPBR=?\r\n", kAnswer, "\r\n+CPBR: (1-50),40,14\r\n" + kOk}}},
  };
  for (const auto& [name, turns] : cases) {
    SCOPED_TRACE(name);
    ScriptedModem modem;
    std::vector<Turn> all = start;
    all.insert(all.end(), turns.begin(), turns.end());
    for (const Turn& turn : all) {
      modem.Receive(turn.Written);
      EXPECT_EQ(turn.Then(modem), turn.Sent) << turn.Written;
    }
  }
}

}  // namespace
