// SMS PDUs as the message commands carry them in PDU mode: SMS-DELIVER for
// received messages, SMS-SUBMIT for stored ones, hexadecimal with the service
// centre address in front.
#pragma once

#include <optional>
#include <string>

#include "sim_state.h"

namespace kestrix {

// True when the text fits one short message: 160 GSM characters, or 70
// when it needs UCS-2.
bool FitsOneMessage(const std::string& latin1);
// The PDU of a stored message; texts outside the GSM alphabet go as UCS-2.
std::string EncodePdu(const Message& message, const ServiceCentre& centre);
// Octets of a PDU without its service centre part: the <length> of replies.
int TpduLength(const std::string& hexPdu);

struct DecodedPdu {
  bool deliver = false;  // SMS-DELIVER; otherwise SMS-SUBMIT
  std::string number;
  int type = 129;
  std::string text;       // Latin-1
  std::string timestamp;  // SMS-DELIVER only
};

// Nothing when the PDU is malformed, its TPDU is not `tpduLength` octets
// long, or its text cannot be stored as Latin-1.
std::optional<DecodedPdu> DecodePdu(const std::string& hexPdu, int tpduLength);

}  // namespace kestrix
