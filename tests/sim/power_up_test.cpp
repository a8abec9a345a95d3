// How the device starts, set by flags: message format, error reports,
// registration reports, a SIM waiting for its PIN, a smaller phonebook.
// Echo is turned off first; ATZ and a restart go back to the same start.
#include <gtest/gtest.h>

#include "sim_process.h"

namespace kestrix::test {
namespace {

const std::string kSample = std::string(KESTRIX_SOURCE_DIR) + "/sample-state.json";
const std::string kOk = "\r\nOK\r\n";
const std::string kError = "\r\nERROR\r\n";

struct Case {
  std::vector<std::string> flags;
  std::vector<Step> steps;
};

TEST(PowerUp, TheDeviceStartsAsItsFlagsSay) {
  const std::vector<Case> cases = {
      // PDU mode: the text-mode listing and store are refused.
      {{"--pdu-at-start"},
       {{"AT+CMGF?\r", "\r\n+CMGF: 0\r\n" + kOk},
        {"AT+CMGL=ALL\r", kError},
        {"AT+CMEE=1;+CMGL=ALL\r", "\r\n+CMS ERROR: 304\r\n"},
        {"AT+CMGW=+436640005\r", "\r\n+CMS ERROR: 304\r\n"},
        {"AT+CMGF=1;+CMGL=\"STO SENT\"\r", kOk},
        {"ATZ\r", kOk},
        {"ATE0;+CMGF?\r", "ATE0;+CMGF?\r\r\n+CMGF: 0\r\n" + kOk}}},
      // Numeric or verbose errors without AT+CMEE, and again after ATZ.
      {{"--cmee", "1"},
       {{"AT+CPBR=0\r", "\r\n+CME ERROR: 21\r\n"},
        {"AT+CMGR=9\r", "\r\n+CMS ERROR: 321\r\n"},
        {"AT+CMEE=0;Z;E0;+CMEE?\r", "\r\n+CMEE: 1\r\n" + kOk}}},
      {{"--cmee", "2"}, {{"AT+CPBR=0\r", "\r\n+CME ERROR: invalid index\r\n"}}},
      {{"--creg-reports", "2", "--registration", "roaming"},
       {{"AT+CREG?\r", "\r\n+CREG: 2,5,\"1A2B\",\"00C3\"\r\n" + kOk}}},
      {{"--creg-reports", "1"}, {{"AT+CREG?\r", "\r\n+CREG: 1,1\r\n" + kOk}}},
      // The SIM waits for its PIN: not registered, its stores out of reach.
      {{"--sim-pin", "--restart-at", "+CGMI"},
       {{"AT+CPIN?;+CREG?;+COPS?\r",
         "\r\n+CPIN: SIM PIN\r\n\r\n+CREG: 0,0\r\n\r\n+COPS: 0\r\n" + kOk},
        {"AT+CPBR=1,10\r", kError},
        {"AT+CMEE=1;+CPBR=1,10\r", "\r\n+CME ERROR: 11\r\n"},
        {"AT+CPBW=,1,129,\"x\"\r", "\r\n+CME ERROR: 11\r\n"},
        {"AT+CMGL=ALL\r", "\r\n+CMS ERROR: 311\r\n"},
        {"AT+CMGW=1\r", "\r\n+CMS ERROR: 311\r\n"},
        {"AT+CSQ\r", "\r\n+CSQ: 21,99\r\n" + kOk},
        {"AT+CGMI\r", "\r\nRDY\r\n\r\n+CPIN: SIM PIN\r\n"},
        {"AT\r", "AT\r" + kOk}}},
      // A 50-location SIM refuses a range beyond its end, as real ones do.
      {{"--phonebook-size", "50", "--cmee", "1"},
       {{"AT+CPBR=?\r", "\r\n+CPBR: (1-50),20,14\r\n" + kOk},
        {"AT+CPBS?\r", "\r\n+CPBS: \"SM\",4,50\r\n" + kOk},
        {"AT+CPBR=1,100\r", "\r\n+CME ERROR: 21\r\n"},
        {"AT+CPBW=51,1,129,\"x\"\r", "\r\n+CME ERROR: 21\r\n"},
        {"AT+CPBW=50,1,129,\"x\";+CPBR=4,50\r",
         "\r\n+CPBR: 4,\"+43664555\",145,\"IO\"\r\n\r\n+CPBR: 50,\"1\",129,\"x\"\r\n" + kOk}}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> flags = {"--state", kSample};
    flags.insert(flags.end(), c.flags.begin(), c.flags.end());
    SimProcess sim(flags);
    ASSERT_EQ(sim.Command("ATE0"), "ATE0\r" + kOk);
    EXPECT_EQ(sim.Play(c.steps), Expected(c.steps)) << c.flags[0];
  }
}

TEST(PowerUp, APhonebookSizeBelowAnEntryInUseIsRefused) {
  RunResult r = RunProgram({KESTRIX_SIM_BINARY, "--state", kSample, "--phonebook-size", "3"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(
      r.output.find("--phonebook-size 3 is too small: the phonebook has an entry at location 4"),
      std::string::npos)
      << r.output;
}

}  // namespace
}  // namespace kestrix::test
