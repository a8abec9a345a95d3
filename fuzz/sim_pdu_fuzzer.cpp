// Decodes arbitrary SMS PDUs as a client could send them to the simulator,
// and checks that a message it accepts and can list again comes back the
// same after the simulator's own encoding.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "pdu.h"

namespace {

using fuzz::Require;

constexpr int kAlphanumericMask = 0x70;
constexpr int kAlphanumeric = 0x50;

std::string Hex(const std::string& octets) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (char c : octets) {
    hex += kDigits[static_cast<unsigned char>(c) >> 4];
    hex += kDigits[static_cast<unsigned char>(c) & 0x0F];
  }
  return hex;
}

void CheckRoundTrip(const kestrix::DecodedPdu& pdu) {
  // Alphanumeric senders are names, not digits, and too long a text does not
  // make one message: the simulator lists neither as it came.
  if ((pdu.type & kAlphanumericMask) == kAlphanumeric || !kestrix::FitsOneMessage(pdu.text)) return;
  kestrix::Message message;
  message.status =
      pdu.deliver ? kestrix::MessageStatus::kRecRead : kestrix::MessageStatus::kStoUnsent;
  message.number = pdu.number;
  message.type = pdu.type;
  message.text = pdu.text;
  message.timestamp = pdu.timestamp;
  std::string encoded = kestrix::EncodePdu(message, kestrix::ServiceCentre{"+43664", 145});
  auto again = kestrix::DecodePdu(encoded, kestrix::TpduLength(encoded));
  Require(again.has_value(), "the simulator decodes what it encodes");
  Require(again->deliver == pdu.deliver, "the message's nature survives");
  Require(again->number == pdu.number, "the number survives");
  Require(again->text == pdu.text, "the text survives");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  bool asOctets = input.ConsumeBool();
  bool rightLength = input.ConsumeBool();
  int length = input.ConsumeIntegralInRange(-2, 300);
  std::string rest = input.ConsumeRemainingBytesAsString();
  std::string pdu = asOctets ? Hex(rest) : rest;
  int tpduLength = kestrix::TpduLength(pdu);
  auto decoded = kestrix::DecodePdu(pdu, rightLength ? tpduLength : length);
  if (decoded) {
    Require(rightLength || length == tpduLength, "only the announced TPDU length is accepted");
    CheckRoundTrip(*decoded);
  }
  return 0;
}
