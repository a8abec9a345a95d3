// The simulator's command replies and errors, as a client sees them on the pty.
#include <gtest/gtest.h>

#include "sim_process.h"

namespace kestrix::test {
namespace {

const std::string kSample = std::string(KESTRIX_SOURCE_DIR) + "/sample-state.json";

class Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    // Echo off first, as every client does, so replies are compared alone.
    ASSERT_EQ(sim_.Command("ATE0"), "ATE0\r\r\nOK\r\n");
  }
  SimProcess sim_{{"--state", kSample}};
};

TEST(Echo, OnAtStartOffAfterAteBackOnAfterAte1) {
  SimProcess sim({});
  EXPECT_EQ(sim.Command("AT"), "AT\r\r\nOK\r\n");
  EXPECT_EQ(sim.Command("ATE"), "ATE\r\r\nOK\r\n");  // echoed: echo goes off after it
  EXPECT_EQ(sim.Command("AT"), "\r\nOK\r\n");
  EXPECT_EQ(sim.Command("ATE1"), "\r\nOK\r\n");
  EXPECT_EQ(sim.Command("at"), "at\r\r\nOK\r\n");
  sim.Command("ATE0");
  sim.Command("ATE1");
  EXPECT_EQ(sim.Command("ATZ"), "ATZ\r\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT"), "AT\r\r\nOK\r\n") << "ATZ restores echo on";
}

TEST_F(Commands, LineEndsAtCrWhateverLfAndNulPaddingAround) {
  sim_.Send("AT+CSQ\r\n");
  EXPECT_EQ(sim_.ReadUntil("OK\r\n"), "\r\n+CSQ: 21,99\r\n\r\nOK\r\n");
  // NULs between the characters are dropped, they do not erase one.
  sim_.Send(std::string("A\0T+C\0SQ\r\0", 10));
  EXPECT_EQ(sim_.ReadUntil("OK\r\n"), "\r\n+CSQ: 21,99\r\n\r\nOK\r\n");
  // Backspace does erase one, as on a terminal.
  sim_.Send("AT+CSQX\b\r");
  EXPECT_EQ(sim_.ReadUntil("OK\r\n"), "\r\n+CSQ: 21,99\r\n\r\nOK\r\n");
  // A line of noise without AT gets no answer; the next command does.
  sim_.Send("hello\r");
  EXPECT_EQ(sim_.Command("AT"), "\r\nOK\r\n");
}

TEST_F(Commands, NamesAreCaseInsensitiveAndChainWithSemicolons) {
  EXPECT_EQ(sim_.Command("at+cgmi"), "\r\nMorvel\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CGMM;+CGMR"), "\r\nKestrix\r\n\r\n1.0\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CGSN"), "\r\n356938035643809\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CIMI"), "\r\n232010000000001\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("ATI"), "\r\nMorvel\r\n\r\nKestrix\r\n\r\nRevision: 1.0\r\n\r\nOK\r\n");
}

TEST_F(Commands, UnknownCommandsAndBadSyntaxAnswerPlainError) {
  EXPECT_EQ(sim_.Command("AT+XYZ"), "\r\nERROR\r\n");
  EXPECT_EQ(sim_.Command("AT!!"), "\r\nERROR\r\n");
  // A chain stops at its first failure: nothing of the rest is answered.
  EXPECT_EQ(sim_.Command("AT+CSQ;+XYZ;+CGMI"), "\r\n+CSQ: 21,99\r\n\r\nERROR\r\n");
}

TEST_F(Commands, ExtendedErrorsOnlyAfterCmee) {
  EXPECT_EQ(sim_.Command("AT+CPBR=0"), "\r\nERROR\r\n");
  EXPECT_EQ(sim_.Command("AT+CMEE=1"), "\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CMEE?"), "\r\n+CMEE: 1\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBR=0"), "\r\n+CME ERROR: 21\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBR=251"), "\r\n+CME ERROR: 21\r\n");
  EXPECT_EQ(sim_.Command("AT+CMGR=9"), "\r\n+CMS ERROR: 321\r\n");
  EXPECT_EQ(sim_.Command("AT+CMEE=2"), "\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBR=5,2"), "\r\n+CME ERROR: invalid index\r\n");
  EXPECT_EQ(sim_.Command("AT+CMEE=3"), "\r\nERROR\r\n");
  // Unknown commands stay plain ERROR whatever the mode.
  EXPECT_EQ(sim_.Command("AT+XYZ"), "\r\nERROR\r\n");
}

TEST_F(Commands, NetworkStatus) {
  EXPECT_EQ(sim_.Command("AT+CPIN?"), "\r\n+CPIN: READY\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CREG?"), "\r\n+CREG: 0,1\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CREG=2"), "\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CREG?"), "\r\n+CREG: 2,1,\"1A2B\",\"00C3\"\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CREG=3"), "\r\nERROR\r\n");
  EXPECT_EQ(sim_.Command("AT+CGREG=1;+CGREG?"), "\r\n+CGREG: 1,1\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CGATT?"), "\r\n+CGATT: 1\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CSQ=?"), "\r\n+CSQ: (0-31,99),(0-7,99)\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+COPS?"), "\r\n+COPS: 0,0,\"Kestrix Net\"\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+COPS=3,2;+COPS?"), "\r\n+COPS: 0,2,\"23201\"\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+COPS=?"),
            "\r\n+COPS: (2,\"Kestrix Net\",\"Kestrix Net\",\"23201\"),,(0-4),(0-2)\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CMEE=1;+COPS=1,2,\"99999\""), "\r\n+CME ERROR: 3\r\n");
}

TEST(Registration, DeniedOrRoamingIsWhatTheDeviceReports) {
  SimProcess denied({"--registration", "denied"});
  denied.Command("ATE0");
  EXPECT_EQ(denied.Command("AT+CREG?"), "\r\n+CREG: 0,3\r\n\r\nOK\r\n");
  EXPECT_EQ(denied.Command("AT+COPS?"), "\r\n+COPS: 0\r\n\r\nOK\r\n") << "no operator";
  SimProcess roaming({"--registration", "roaming"});
  roaming.Command("ATE0");
  EXPECT_EQ(roaming.Command("AT+CREG?"), "\r\n+CREG: 0,5\r\n\r\nOK\r\n");
  EXPECT_EQ(roaming.Command("AT+COPS?"), "\r\n+COPS: 0,0,\"Kestrix Net\"\r\n\r\nOK\r\n");
}

TEST_F(Commands, CallMeterAndServiceCentre) {
  EXPECT_EQ(sim_.Command("AT+CAMM?"), "\r\n+CAMM: \"000100\"\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CACM?"), "\r\n+CACM: \"000040\"\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CAMM=\"00A0F0\";+CAMM?"), "\r\n+CAMM: \"00A0F0\"\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CAMM=\"XYZ\""), "\r\nERROR\r\n");
  EXPECT_EQ(sim_.Command("AT+CACM=;+CACM?"), "\r\n+CACM: \"000000\"\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CSCA?"), "\r\n+CSCA: \"+436640501\",145\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CSCA=\"0664999\";+CSCA?"), "\r\n+CSCA: \"0664999\",129\r\n\r\nOK\r\n");
}

TEST_F(Commands, CharacterSets) {
  EXPECT_EQ(sim_.Command("AT+CSCS=?"), "\r\n+CSCS: (\"GSM\",\"IRA\")\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CSCS=\"UCS2\""), "\r\nERROR\r\n");
  // Latin-1 text as it is in IRA, as GSM codes in GSM ("@" is code 0).
  EXPECT_EQ(sim_.Command("AT+CPBW=9,\"123\",129,\"a@\xE9\""), "\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBR=9"), "\r\n+CPBR: 9,\"123\",129,\"a@\xE9\"\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CSCS=\"GSM\""), "\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBR=9"),
            "\r\n+CPBR: 9,\"123\",129,\"a" + std::string(1, '\0') + "\x05\"\r\n\r\nOK\r\n");
}

TEST_F(Commands, PhonebookListingSkipsEmptyLocations) {
  EXPECT_EQ(sim_.Command("AT+CPBS?"), "\r\n+CPBS: \"SM\",4,250\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBS=\"ME\""), "\r\nERROR\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBR=?"), "\r\n+CPBR: (1-250),20,14\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBR=2,3"),
            "\r\n+CPBR: 2,\"+436649876543\",145,\"MASTER2\"\r\n"
            "\r\n+CPBR: 3,\"06641112223\",129,\"SERVICE\"\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBR=50"), "\r\nOK\r\n") << "an empty location is no error";
  EXPECT_EQ(sim_.Command("AT+CPBR=5,250"), "\r\nOK\r\n");
}

TEST_F(Commands, PhonebookWritesEraseAndFirstFreeLocation) {
  // The form Morvel sends: number unquoted, written to the first free place.
  EXPECT_EQ(sim_.Command("AT+CPBW=,+4312345,145,\"MASTER3\""), "\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBR=5"), "\r\n+CPBR: 5,\"+4312345\",145,\"MASTER3\"\r\n\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBW=1"), "\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBW=1"), "\r\nOK\r\n") << "erasing an empty place is no error";
  EXPECT_EQ(sim_.Command("AT+CPBW=,\"0664\",,\"x\""), "\r\nOK\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBR=1"), "\r\n+CPBR: 1,\"0664\",129,\"x\"\r\n\r\nOK\r\n");
  // Type 145 without "+" shows the "+".
  EXPECT_EQ(sim_.Command("AT+CPBW=7,\"4366\",145,\"y\";+CPBR=7"),
            "\r\n+CPBR: 7,\"+4366\",145,\"y\"\r\n\r\nOK\r\n");
  sim_.Command("AT+CMEE=1");
  EXPECT_EQ(sim_.Command("AT+CPBW=251,\"1\",129,\"x\""), "\r\n+CME ERROR: 21\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBW=,\"123456789012345678901\",129,\"x\""), "\r\n+CME ERROR: 26\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBW=,\"12a\",129,\"x\""), "\r\n+CME ERROR: 27\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBW=,\"1\",129,\"ABCDEFGHIJKLMNO\""), "\r\n+CME ERROR: 24\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBW=,\"1\",99,\"x\""), "\r\n+CME ERROR: 50\r\n");
  EXPECT_EQ(sim_.Command("AT+CPBW="), "\r\n+CME ERROR: 50\r\n");
}

TEST(Phonebook, FullSimAnswersMemoryFull) {
  TempDir dir;
  dir.Write("small.json",
            R"({"phonebook": {"size": 2, "entries": [{"index": 1, "number": "1", "text": "a"}]}})");
  SimProcess sim({"--state", dir.File("small.json")});
  sim.Command("ATE0;+CMEE=1");
  EXPECT_EQ(sim.Command("AT+CPBW=,\"2\",129,\"b\""), "\r\nOK\r\n");
  EXPECT_EQ(sim.Command("AT+CPBW=,\"3\",129,\"c\""), "\r\n+CME ERROR: 20\r\n");
  EXPECT_EQ(sim.Command("AT+CPBR=1,2"),
            "\r\n+CPBR: 1,\"1\",129,\"a\"\r\n\r\n+CPBR: 2,\"2\",129,\"b\"\r\n\r\nOK\r\n");
}

}  // namespace
}  // namespace kestrix::test
