// The SIM message store over the pty: text mode with its prompt, PDU mode,
// and the round trip between the two.
#include <gtest/gtest.h>

#include "pdu.h"
#include "sim_process.h"

namespace kestrix::test {
namespace {

const std::string kSample = std::string(KESTRIX_SOURCE_DIR) + "/sample-state.json";

class Messages : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(sim_.Command("ATE0"), "ATE0\r\r\nOK\r\n"); }
  SimProcess sim_{{"--state", kSample}};
};

TEST_F(Messages, TextModeListingAsMorvelSendsIt) {
  EXPECT_EQ(sim_.Command("AT+CMGF?"), "\r\n+CMGF: 1\r\n\r\nOK\r\n") << "text mode from the start";
  EXPECT_EQ(sim_.Command("AT+CMGL=ALL"),
            "\r\n+CMGL: 1,\"STO UNSENT\",\"+436640000\",,\r\nCREDIT?\r\n"
            "\r\n+CMGL: 2,\"STO UNSENT\",\"+436641234567\",,\r\nInput 1 on\r\n"
            "\r\n+CMGL: 7,\"REC READ\",\"+436640000\",,\"24/01/15,10:30:00+04\"\r\n"
            "Your credit is 10 EUR\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CMGL=\"STO SENT\""), "\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CMGL=\"REC READ\""),
            "\r\n+CMGL: 7,\"REC READ\",\"+436640000\",,\"24/01/15,10:30:00+04\"\r\n"
            "Your credit is 10 EUR\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CSDH=1;+CMGL=\"STO UNSENT\""),
            "\r\n+CMGL: 1,\"STO UNSENT\",\"+436640000\",,,145,7\r\nCREDIT?\r\n"
            "\r\n+CMGL: 2,\"STO UNSENT\",\"+436641234567\",,,145,10\r\nInput 1 on\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CMGL=BOGUS"), "\r\nERROR\r\n");
}

TEST_F(Messages, ReadingMarksAReceivedMessageRead) {
  EXPECT_EQ(sim_.Command("AT+CMGW=\"+4399\",145,\"REC UNREAD\""), "\r\n> ");
  sim_.Send("hi\x1A");
  EXPECT_EQ(sim_.ReadUntil("OK\r\n"), "\r\n+CMGW: 3\r\n\r\nOK\r\n") << "echo off: text not echoed";
  EXPECT_EQ(sim_.Command("AT+CMGL"),
            "\r\n+CMGL: 3,\"REC UNREAD\",\"+4399\",,\"\"\r\nhi\r\n\r\nOK\r\n")
      << "no status lists the unread ones";
  EXPECT_EQ(sim_.Command("AT+CMGL=\"REC UNREAD\""), "\r\nOK\r\n") << "listed once, now read";
  EXPECT_EQ(sim_.Command("AT+CMGR=3").substr(0, 19), "\r\n+CMGR: \"REC READ\"");
}

TEST_F(Messages, StoreDeleteAndTheSlotsMorvelUses) {
  // Morvel deletes 1 to 6 one by one: each must answer OK, empty or not.
  for (int i = 1; i <= 6; ++i)
    EXPECT_EQ(sim_.Command("AT+CMGD=" + std::to_string(i)), "\r\nOK\r\n") << i;
  // Then stores each slot: number unquoted, prompt, text, Ctrl-Z.
  EXPECT_EQ(sim_.Command("AT+CMGW=+436641"), "\r\n> ");
  sim_.Send("Credit check\x1A");
  EXPECT_EQ(sim_.ReadUntil("OK\r\n"), "\r\n+CMGW: 1\r\n\r\nOK\r\n");
  // An empty number field still gets the prompt.
  EXPECT_EQ(sim_.Command("AT+CMGW="), "\r\n> ");
  sim_.Send("no number\x1A");
  EXPECT_EQ(sim_.ReadUntil("OK\r\n"), "\r\n+CMGW: 2\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CMGR=2"),
            "\r\n+CMGR: \"STO UNSENT\",\"\",\r\nno number\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CMGD=31"), "\r\nERROR\r\n");
}

TEST_F(Messages, PromptTextEditingAndCancel) {
  EXPECT_EQ(sim_.Command("AT+CMGW=\"123\""), "\r\n> ");
  // A CR inside the text gives a new prompt and keeps the line break.
  sim_.Send("two\r");
  EXPECT_EQ(sim_.ReadUntil("> "), "\r\n> ");
  sim_.Send("linex\b\x1A");
  EXPECT_EQ(sim_.ReadUntil("OK\r\n"), "\r\n+CMGW: 3\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CMGR=3"),
            "\r\n+CMGR: \"STO UNSENT\",\"123\",\r\ntwo\nline\r\n\r\nOK\r\n");
  // Esc abandons the text: nothing is stored.
  EXPECT_EQ(sim_.Command("AT+CMGW=\"123\""), "\r\n> ");
  sim_.Send("forget me\x1B");
  EXPECT_EQ(sim_.ReadUntil("OK\r\n"), "\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CPMS?"),
            "\r\n+CPMS: \"SM\",4,30,\"SM\",4,30,\"SM\",4,30\r\n\r\nOK\r\n");
}

TEST_F(Messages, TooLongTextIsRefusedNotCut) {
  sim_.Command("AT+CMEE=1");
  EXPECT_EQ(sim_.Command("AT+CMGW=\"1\""), "\r\n> ");
  sim_.Send(std::string(161, 'a') + "\x1A");
  EXPECT_EQ(sim_.ReadUntil("305\r\n"), "\r\n+CMS ERROR: 305\r\n");
  EXPECT_EQ(sim_.Command("AT+CPMS?"),
            "\r\n+CPMS: \"SM\",3,30,\"SM\",3,30,\"SM\",3,30\r\n\r\nOK\r\n");
}

TEST_F(Messages, BulkDeleteFlags) {
  sim_.Command("AT+CMGW=\"1\",129,\"STO SENT\"");
  sim_.Command("sent\x1A");
  EXPECT_EQ(sim_.Command("AT+CMGD=0,2"), "\r\nOK\r\n") << "read and sent go; unsent stay";
  EXPECT_EQ(sim_.Command("AT+CPMS?"),
            "\r\n+CPMS: \"SM\",2,30,\"SM\",2,30,\"SM\",2,30\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CMGD=1,4"), "\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CMGL=ALL"), "\r\nOK\r\n");
}

TEST_F(Messages, FullStoreRefusesBeforeThePrompt) {
  TempDir dir;
  dir.Write("one.json", R"({"messages": {"size": 1, "entries": [
      {"index": 1, "status": "STO SENT", "number": "1", "text": "x"}]}})");
  SimProcess sim({"--state", dir.File("one.json")});
  sim.Command("ATE0;+CMEE=1");
  EXPECT_EQ(sim.Command("AT+CMGW=\"2\""), "\r\n+CMS ERROR: 322\r\n");
}

// The PDUs the device lists decode to the messages it holds, and a PDU a
// client stores reads back in text mode.
TEST_F(Messages, PduListingAndStoreRoundTrip) {
  EXPECT_EQ(sim_.Command("AT+CMGF=0"), "\r\nOK\r\n");
  std::string listing = sim_.Command("AT+CMGL=4");
  std::size_t at = listing.find("+CMGL: 7,1,,");
  ASSERT_NE(at, std::string::npos) << listing;
  std::size_t lineEnd = listing.find("\r\n", at);
  int length = std::stoi(listing.substr(at + 12, lineEnd - at - 12));
  std::string pdu = listing.substr(lineEnd + 2, listing.find("\r\n", lineEnd + 2) - lineEnd - 2);
  auto decoded = DecodePdu(pdu, length);
  ASSERT_TRUE(decoded) << pdu;
  EXPECT_TRUE(decoded->deliver);
  EXPECT_EQ(decoded->number, "+436640000");
  EXPECT_EQ(decoded->text, "Your credit is 10 EUR");
  EXPECT_EQ(decoded->timestamp, "24/01/15,10:30:00+04");

  Message submit{MessageStatus::kStoUnsent, "+43123", 145, "PDU {text} \xE9", ""};
  std::string out = EncodePdu(submit, ServiceCentre{});
  EXPECT_EQ(sim_.Command("AT+CMGW=" + std::to_string(TpduLength(out))), "\r\n> ");
  sim_.Send(out + "\x1A");
  EXPECT_EQ(sim_.ReadUntil("OK\r\n"), "\r\n+CMGW: 3\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CMGF=1;+CMGR=3"),
            "\r\n+CMGR: \"STO UNSENT\",\"+43123\",\r\nPDU {text} \xE9\r\n\r\nOK\r\n");
  // A PDU whose length does not match what was announced is refused.
  sim_.Command("AT+CMGF=0;+CMEE=1");
  EXPECT_EQ(sim_.Command("AT+CMGW=" + std::to_string(TpduLength(out) + 1)), "\r\n> ");
  sim_.Send(out + "\x1A");
  EXPECT_EQ(sim_.ReadUntil("\r\n+CMS ERROR: 304\r\n"), "\r\n+CMS ERROR: 304\r\n");
  EXPECT_EQ(sim_.Command("AT+CMGW=0"), "\r\n+CMS ERROR: 304\r\n");
}

}  // namespace
}  // namespace kestrix::test
