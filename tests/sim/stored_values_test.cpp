// What a client stores in the simulated SIM must list again as it came and
// save as a state file that loads again: commands that would store
// anything else are refused and change nothing.
#include <gtest/gtest.h>

#include <string>

#include "modem.h"
#include "pdu.h"
#include "sim_state.h"
#include "state_file.h"

namespace kestrix::test {
namespace {

std::string Octets(const std::string& hex, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += hex;
  return out;
}

class Recorder : public ModemOutput {
 public:
  void Echo(const std::string& bytes) override { text += bytes; }
  void Reply(const std::string& bytes) override { text += bytes; }
  void HangUp() override {}
  std::string text;
};

class StoredValues : public ::testing::Test {
 protected:
  StoredValues() {
    Send("ATE0\r");
    EXPECT_EQ(Send("AT+CMEE=1\r"), "\r\nOK\r\n");
  }
  std::string Send(const std::string& bytes) {
    output_.text.clear();
    modem_.Feed(bytes, Modem::Clock::now());
    return output_.text;
  }
  // Writes a PDU (no service centre) in PDU mode; returns the final reply.
  std::string WritePdu(const std::string& tpdu) {
    EXPECT_EQ(Send("AT+CMGF=0\r"), "\r\nOK\r\n");
    EXPECT_EQ(Send("AT+CMGW=" + std::to_string(tpdu.size() / 2) + "\r"), "\r\n> ");
    return Send("00" + tpdu + "\x1A");
  }
  void ExpectStateLoadsAgain() { EXPECT_NO_THROW(ParseState(StateToJson(state_))); }

  SimState state_;
  Recorder output_;
  Modem modem_{state_, output_, nullptr};
};

TEST_F(StoredValues, ServiceCentreMustBeAPhoneNumber) {
  EXPECT_EQ(Send("AT+CSCA=\"+43664\"\r"), "\r\nOK\r\n");
  EXPECT_EQ(Send("AT+CSCA=\"2GR]G\"\r"), "\r\n+CMS ERROR: 303\r\n");
  EXPECT_EQ(Send("AT+CSCA=\"123456789012345678901\"\r"), "\r\n+CMS ERROR: 303\r\n") << "21 digits";
  EXPECT_EQ(Send("AT+CSCA?\r"), "\r\n+CSCA: \"+43664\",145\r\n\r\nOK\r\n");
  EXPECT_EQ(Send("AT+CSCA=\"\"\r"), "\r\nOK\r\n") << "no centre at all is allowed";
  ExpectStateLoadsAgain();
}

TEST_F(StoredValues, PduWritesOnlyWhatTheSimCanListAgain) {
  constexpr char kRefused[] = "\r\n+CMS ERROR: 304\r\n";
  // SMS-DELIVER from the alphanumeric sender "Hello", text "Hi".
  EXPECT_EQ(WritePdu("040AD0C8329BFD06000042105101030040"
                     "02C834"),
            kRefused);
  // The same from "1", but a time stamp with a semi-octet A.
  EXPECT_EQ(WritePdu("040181F100004A105101030040"
                     "02C834"),
            kRefused);
  // The same with a type of address below 128.
  EXPECT_EQ(WritePdu("040101F1000042105101030040"
                     "02C834"),
            kRefused);
  // SMS-SUBMIT to 21 digits; 20 digits are stored.
  EXPECT_EQ(WritePdu("11001581"
                     "21436587092143658709F1"
                     "0000A70141"),
            kRefused);
  EXPECT_EQ(WritePdu("11001481"
                     "21436587092143658709"
                     "0000A70141"),
            "\r\n+CMGW: 1\r\n\r\nOK\r\n");
  // 8-bit text of 130 characters outside the GSM alphabet: more than one
  // message can carry; 70 of them are stored.
  EXPECT_EQ(WritePdu("11000181F10004A782" + Octets("E1", 130)), kRefused);
  EXPECT_EQ(WritePdu("11000181F10004A746" + Octets("E1", 70)), "\r\n+CMGW: 2\r\n\r\nOK\r\n");

  ASSERT_EQ(state_.messages.entries.size(), 2u);
  EXPECT_EQ(state_.messages.entries[1].number, "12345678901234567890");
  EXPECT_EQ(state_.messages.entries[2].text, std::string(70, '\xE1'));
  ExpectStateLoadsAgain();
}

TEST(PduTimestamp, SemiOctetsAboveNineAreMalformed) {
  std::string good =
      "00040181F1000042105101030040"
      "02C834";
  ASSERT_TRUE(DecodePdu(good, TpduLength(good)));
  for (std::size_t at : {16u, 17u, 26u}) {
    std::string bad = good;
    bad[at] = 'B';
    EXPECT_FALSE(DecodePdu(bad, TpduLength(bad))) << bad;
  }
  // Bit 3 of the zone's low semi-octet is its sign, not a digit.
  std::string west = good;
  west[26] = '4';
  west[27] = '8';
  auto decoded = DecodePdu(west, TpduLength(west));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->timestamp, "24/01/15,10:30:00-04");
}

}  // namespace
}  // namespace kestrix::test
