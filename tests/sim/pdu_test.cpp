// PDU coding against hand-checked octets from the 7-bit packing rules.
#include "pdu.h"

#include <gtest/gtest.h>

#include "gsm_alphabet.h"

namespace kestrix {
namespace {

TEST(Pdu, DeliverEncodesAddressTimestampAndPackedText) {
  Message m{MessageStatus::kRecRead, "+4912345", 145, "hellohello", "24/01/15,10:30:00+04"};
  // centre 00; first octet 04; 7 digits 91 94 21 43 F5; PID 00; DCS 00;
  // time stamp swapped 42 10 51 01 03 00 40; 10 septets packed.
  EXPECT_EQ(EncodePdu(m, ServiceCentre{}),
            "00040791942143F5000042105101030040"
            "0AE8329BFD4697D9EC37");
  EXPECT_EQ(TpduLength(EncodePdu(m, ServiceCentre{})), 26);
}

TEST(Pdu, SubmitWithCentreAndOddDigitCount) {
  Message m{MessageStatus::kStoUnsent, "0664123", 129, "A", ""};
  EXPECT_EQ(EncodePdu(m, ServiceCentre{"+43664", 145}),
            "04913466F4"
            "11000781604621F30000A70141");
}

TEST(Pdu, NegativeZoneAndUcs2ForTextsOutsideGsm) {
  Message m{MessageStatus::kRecUnread, "1", 129, "\xE1", "99/12/31,23:59:59-08"};
  std::string pdu = EncodePdu(m, ServiceCentre{});
  EXPECT_EQ(pdu,
            "00040181F10008"
            "99211332959588"
            "0200E1");
  auto back = DecodePdu(pdu, TpduLength(pdu));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->text, "\xE1");
  EXPECT_EQ(back->timestamp, "99/12/31,23:59:59-08");
}

TEST(Pdu, DecodeRejectsMalformedInput) {
  std::string good = EncodePdu({MessageStatus::kStoUnsent, "1", 129, "ok", ""}, ServiceCentre{});
  EXPECT_TRUE(DecodePdu(good, TpduLength(good)));
  EXPECT_FALSE(DecodePdu(good.substr(0, good.size() - 2), TpduLength(good)));  // cut short
  EXPECT_FALSE(DecodePdu(good + "00", TpduLength(good)));                      // too long
  EXPECT_FALSE(DecodePdu("0G" + good.substr(2), TpduLength(good)));            // not hex
  EXPECT_FALSE(DecodePdu("0", 1));
  EXPECT_FALSE(DecodePdu("0003", 1)) << "SMS-STATUS-REPORT is not a message to store";
}

TEST(Pdu, UserDataHeaderIsSkipped) {
  // SUBMIT with UDHI: header 05 00 03 01 02 01 (concatenation), then "Hi"
  // after one fill bit: 7 septets of header and 2 of text.
  std::string pdu =
      "00"
      "51"
      "00"
      "0181"
      "F1"
      "00"
      "00"
      "A7"
      "09"
      "0500030102019069";
  auto m = DecodePdu(pdu, TpduLength(pdu));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->text, "Hi");
}

TEST(GsmAlphabet, ExtensionCharactersAndLatin1Gaps) {
  EXPECT_EQ(Latin1ToGsm("@$_{\xE0"), std::string("\x00\x02\x11\x1B\x28\x7F", 6));
  EXPECT_EQ(GsmToLatin1(std::string("\x00\x02\x11\x1B\x28\x7F", 6)), "@$_{\xE0");
  EXPECT_FALSE(Latin1ToGsm("\xE1")) << "a-acute has no GSM code";
  EXPECT_FALSE(GsmToLatin1("\x10")) << "Greek Delta is not Latin-1";
  EXPECT_TRUE(FitsOneMessage(std::string(160, 'a')));
  EXPECT_FALSE(FitsOneMessage(std::string(161, 'a')));
  EXPECT_FALSE(FitsOneMessage(std::string(71, '\xE1')));
}

}  // namespace
}  // namespace kestrix
