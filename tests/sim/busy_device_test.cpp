// A device that is busy for a while, as real modems are: a slow SIM write
// or a restart. Asserted by the order and content of what comes back and
// by what the SIM holds afterwards, never by the clock.
#include <gtest/gtest.h>

#include "sim_process.h"

namespace kestrix::test {
namespace {

const std::string kSample = std::string(KESTRIX_SOURCE_DIR) + "/sample-state.json";
const std::string kOk = "\r\nOK\r\n";

// Everything arrives at once, while the first write is still going on: the
// device answers each line in turn after the write before it, and what
// comes after the store command is the message text, up to Ctrl-Z.
TEST(SlowSim, WhatArrivesWhileBusyIsAnsweredInOrderAndNothingIsLost) {
  const std::string burst =
      "AT+CMGD=1\rAT+CSQ\rAT+CMGW=+43664\rAT+CSQ\rTEXT\x1A"
      "AT+CPBW=1\rAT+CPBW=,+4312,145,\"NEW\"\rAT+CPBR=1,2\r";
  const std::string csq = "\r\n+CSQ: 21,99\r\n" + kOk;
  const std::string stored = "\r\n+CMGW: 1\r\n" + kOk;
  const std::string listed =
      "\r\n+CPBR: 1,\"+4312\",145,\"NEW\"\r\n"
      "\r\n+CPBR: 2,\"+436649876543\",145,\"MASTER2\"\r\n" +
      kOk;
  struct Case {
    bool echo;
    std::string expect;
  };
  const std::vector<Case> cases = {
      {false, kOk + csq + "\r\n> \r\n> " + stored + kOk + kOk + listed},
      // The echo of each line comes when the device reads it: after the
      // answer to the line before.
      {true, "AT+CMGD=1\r" + kOk + "AT+CSQ\r" + csq + "AT+CMGW=+43664\r\r\n> AT+CSQ\r\r\n> TEXT" +
                 stored + "AT+CPBW=1\r" + kOk + "AT+CPBW=,+4312,145,\"NEW\"\r" + kOk +
                 "AT+CPBR=1,2\r" + listed},
  };
  for (const Case& c : cases) {
    SimProcess sim({"--state", kSample, "--sim-write-ms", "300"});
    if (!c.echo) {
      ASSERT_EQ(sim.Command("ATE0"), "ATE0\r" + kOk);
    }
    const std::vector<Step> steps = {
        {burst, c.expect},
        {"AT+CMGR=1\r",
         (c.echo ? "AT+CMGR=1\r" : "") +
             std::string("\r\n+CMGR: \"STO UNSENT\",\"+43664\",\r\nAT+CSQ\nTEXT\r\n") + kOk},
    };
    EXPECT_EQ(sim.Play(steps), Expected(steps)) << "echo " << c.echo;
  }
}

// The restart line gets no answer; input during the restart is dropped;
// then the banners, echo on and the power-up settings, the SIM as it was.
TEST(Restart, BannersThenPowerUpSettingsAndTheSimAsItWas) {
  struct Case {
    std::vector<std::string> flags;
    std::string banners;
    std::string settings;  // AT+CMGF?;+CMEE? after the restart
  };
  const std::vector<Case> cases = {
      {{"--pdu-at-start", "--cmee", "1"},
       "\r\nRDY\r\n\r\n+CPIN: READY\r\n\r\nCall Ready\r\n\r\nSMS Ready\r\n",
       "\r\n+CMGF: 0\r\n\r\n+CMEE: 1\r\n" + kOk},
      {{"--restart-ms", "200"},
       "\r\nRDY\r\n\r\n+CPIN: READY\r\n\r\nCall Ready\r\n\r\nSMS Ready\r\n",
       "\r\n+CMGF: 1\r\n\r\n+CMEE: 0\r\n" + kOk},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::vector<std::string> flags = {"--state", kSample,        "--restart-at",
                                      "+CPBW=2", "--save-state", dir.File("saved.json")};
    flags.insert(flags.end(), c.flags.begin(), c.flags.end());
    SimProcess sim(flags);
    const std::vector<Step> steps = {
        {"ATE0;+CMGF=0;+CMGF=1;+CMEE=2\r", "ATE0;+CMGF=0;+CMGF=1;+CMEE=2\r" + kOk},
        {"AT+CPBW=1\r", kOk},
        {"AT+CPBW=2\rAT+CSQ\r", c.banners},
        {"AT+CMGF?;+CMEE?\r", "AT+CMGF?;+CMEE?\r" + c.settings},
        {"AT+CPBW=2\r", "AT+CPBW=2\r" + kOk},
    };
    EXPECT_EQ(sim.Play(steps), Expected(steps)) << c.flags[0];
    EXPECT_EQ(sim.Stop(), 0);
    std::string saved = dir.Read("saved.json");
    EXPECT_EQ(saved.find("MASTER1"), std::string::npos) << "erased before the restart";
    EXPECT_EQ(saved.find("MASTER2"), std::string::npos) << "erased after it";
    EXPECT_NE(saved.find("SERVICE"), std::string::npos);
  }
}

}  // namespace
}  // namespace kestrix::test
