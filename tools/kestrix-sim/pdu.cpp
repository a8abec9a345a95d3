#include "pdu.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "gsm_alphabet.h"

namespace kestrix {

namespace {

using Octets = std::vector<std::uint8_t>;

constexpr std::uint8_t kDcsGsm7 = 0x00;
constexpr std::uint8_t kDcsUcs2 = 0x08;
constexpr std::uint8_t kFirstDeliver = 0x04;  // SMS-DELIVER, no more messages waiting
constexpr std::uint8_t kFirstSubmit = 0x11;   // SMS-SUBMIT, relative validity period
constexpr std::uint8_t kValidity = 0xA7;      // 24 hours

std::string Hex(const Octets& octets) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (std::uint8_t o : octets) {
    out += kDigits[o >> 4];
    out += kDigits[o & 0x0F];
  }
  return out;
}

std::optional<Octets> FromHex(const std::string& hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  Octets out;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    if (!std::isxdigit(static_cast<unsigned char>(hex[i])) ||
        !std::isxdigit(static_cast<unsigned char>(hex[i + 1])))
      return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

int SemiOctet(char digit) {
  if (digit == '*') return 0xA;
  if (digit == '#') return 0xB;
  return digit - '0';
}

char SemiOctetDigit(int value) {
  if (value == 0xA) return '*';
  if (value == 0xB) return '#';
  return static_cast<char>('0' + value);
}

// Semi-octets in swapped order, an F filling the last one.
void AppendBcd(Octets& out, const std::string& digits) {
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    int low = SemiOctet(digits[i]);
    int high = i + 1 < digits.size() ? SemiOctet(digits[i + 1]) : 0xF;
    out.push_back(static_cast<std::uint8_t>((high << 4) | low));
  }
}

std::string Digits(const std::string& number) {
  return !number.empty() && number[0] == '+' ? number.substr(1) : number;
}

int AddressType(const std::string& number, int type) {
  return !number.empty() && number[0] == '+' ? 145 : type;
}

void AppendAddress(Octets& out, const std::string& number, int type) {
  std::string digits = Digits(number);
  out.push_back(static_cast<std::uint8_t>(digits.size()));
  out.push_back(static_cast<std::uint8_t>(AddressType(number, type)));
  AppendBcd(out, digits);
}

void AppendCentre(Octets& out, const ServiceCentre& centre) {
  std::string digits = Digits(centre.number);
  if (digits.empty()) {
    out.push_back(0);
    return;
  }
  out.push_back(static_cast<std::uint8_t>(1 + (digits.size() + 1) / 2));
  out.push_back(static_cast<std::uint8_t>(AddressType(centre.number, centre.type)));
  AppendBcd(out, digits);
}

int TwoDigits(const std::string& text, std::size_t at) {
  if (at + 1 >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at])) ||
      !std::isdigit(static_cast<unsigned char>(text[at + 1])))
    return 0;
  return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

std::uint8_t SwappedBcd(int value) {
  return static_cast<std::uint8_t>(((value % 10) << 4) | (value / 10));
}

// "yy/MM/dd,hh:mm:ss+zz" (zone in quarter hours) as seven swapped octets.
void AppendTimestamp(Octets& out, const std::string& stamp) {
  for (std::size_t at : {0u, 3u, 6u, 9u, 12u, 15u}) out.push_back(SwappedBcd(TwoDigits(stamp, at)));
  bool negative = stamp.size() > 17 && stamp[17] == '-';
  std::uint8_t zone = SwappedBcd(TwoDigits(stamp, 18));
  out.push_back(static_cast<std::uint8_t>(zone | (negative ? 0x08 : 0)));
}

Octets PackSeptets(const std::string& septets) {
  Octets out;
  unsigned bits = 0;
  unsigned accumulator = 0;
  for (char s : septets) {
    accumulator |= (static_cast<unsigned>(s) & 0x7F) << bits;
    bits += 7;
    while (bits >= 8) {
      out.push_back(static_cast<std::uint8_t>(accumulator & 0xFF));
      accumulator >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0) out.push_back(static_cast<std::uint8_t>(accumulator & 0xFF));
  return out;
}

// Reads octets front to back; every read past the end fails the whole PDU.
class Reader {
 public:
  explicit Reader(const Octets& octets) : octets_(octets) {}
  bool Take(std::uint8_t& value) {
    if (at_ >= octets_.size()) return false;
    value = octets_[at_++];
    return true;
  }
  bool Skip(std::size_t count) {
    if (octets_.size() - at_ < count) return false;
    at_ += count;
    return true;
  }
  bool TakeSpan(std::size_t count, Octets& span) {
    if (octets_.size() - at_ < count) return false;
    span.assign(octets_.begin() + static_cast<long>(at_),
                octets_.begin() + static_cast<long>(at_ + count));
    at_ += count;
    return true;
  }
  std::size_t Left() const { return octets_.size() - at_; }

 private:
  const Octets& octets_;
  std::size_t at_ = 0;
};

std::string UnpackSeptets(const Octets& octets, std::size_t count, std::size_t skipBits) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t bit = skipBits + i * 7;
    std::size_t byte = bit / 8;
    unsigned value = byte < octets.size() ? octets[byte] : 0;
    if (byte + 1 < octets.size()) value |= static_cast<unsigned>(octets[byte + 1]) << 8;
    out += static_cast<char>((value >> (bit % 8)) & 0x7F);
  }
  return out;
}

bool ReadAddress(Reader& reader, std::string& number, int& type) {
  std::uint8_t length = 0;
  std::uint8_t toa = 0;
  if (!reader.Take(length) || !reader.Take(toa)) return false;
  Octets span;
  if (!reader.TakeSpan((length + 1u) / 2, span)) return false;
  type = toa;
  if ((toa & 0x70) == 0x50) {  // alphanumeric sender
    auto text = GsmToLatin1(UnpackSeptets(span, length * 4u / 7, 0));
    if (!text) return false;
    number = *text;
    return true;
  }
  number.clear();
  for (std::size_t i = 0; i < length; ++i) {
    int nibble = (i % 2 == 0) ? span[i / 2] & 0x0F : span[i / 2] >> 4;
    if (nibble > 0xB) return false;
    number += SemiOctetDigit(nibble);
  }
  if ((toa & 0x70) == 0x10) number.insert(0, "+");
  return true;
}

// Semi-octets above 9 make no date; the zone octet's bit 3 is its sign.
bool DecimalTimestamp(const Octets& span) {
  for (std::size_t i = 0; i < span.size(); ++i) {
    int low = (i + 1 == span.size() ? span[i] & 0xF7 : span[i]) & 0x0F;
    if (low > 9 || (span[i] >> 4) > 9) return false;
  }
  return true;
}

std::string ReadTimestamp(const Octets& span) {
  auto digits = [](int o) { return (o & 0x0F) * 10 + (o >> 4); };
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d/%02d/%02d,%02d:%02d:%02d%c%02d", digits(span[0]),
                digits(span[1]), digits(span[2]), digits(span[3]), digits(span[4]), digits(span[5]),
                (span[6] & 0x08) ? '-' : '+', digits(span[6] & 0xF7));
  return stamp;
}

enum class Alphabet { kGsm7, kEightBit, kUcs2, kUnsupported };

Alphabet AlphabetOf(std::uint8_t dcs) {
  if ((dcs & 0xC0) == 0x00 || (dcs & 0xC0) == 0x40) {
    if (dcs & 0x20) return Alphabet::kUnsupported;  // compressed
    switch ((dcs >> 2) & 0x03) {
      case 0:
        return Alphabet::kGsm7;
      case 1:
        return Alphabet::kEightBit;
      case 2:
        return Alphabet::kUcs2;
      default:
        return Alphabet::kUnsupported;
    }
  }
  if ((dcs & 0xF0) == 0xF0) return (dcs & 0x04) ? Alphabet::kEightBit : Alphabet::kGsm7;
  if ((dcs & 0xF0) == 0xE0) return Alphabet::kUcs2;
  if ((dcs & 0xE0) == 0xC0) return Alphabet::kGsm7;  // message waiting groups
  return Alphabet::kUnsupported;
}

std::optional<std::string> ReadUserData(Reader& reader, std::uint8_t dcs, bool header) {
  std::uint8_t length = 0;
  if (!reader.Take(length)) return std::nullopt;
  Alphabet alphabet = AlphabetOf(dcs);
  Octets data;
  std::size_t octets = alphabet == Alphabet::kGsm7 ? (length * 7u + 7) / 8 : length;
  if (!reader.TakeSpan(octets, data)) return std::nullopt;
  std::size_t headerOctets = header && !data.empty() ? data[0] + 1u : 0;
  if (headerOctets > data.size()) return std::nullopt;
  switch (alphabet) {
    case Alphabet::kGsm7: {
      std::size_t headerSeptets = (headerOctets * 8 + 6) / 7;
      if (headerSeptets > length) return std::nullopt;
      return GsmToLatin1(UnpackSeptets(data, length - headerSeptets, headerSeptets * 7));
    }
    case Alphabet::kEightBit:
      return std::string(data.begin() + static_cast<long>(headerOctets), data.end());
    case Alphabet::kUcs2: {
      std::string out;
      for (std::size_t i = headerOctets; i + 1 < data.size(); i += 2) {
        if (data[i] != 0) return std::nullopt;  // beyond Latin-1
        out += static_cast<char>(data[i + 1]);
      }
      return out;
    }
    case Alphabet::kUnsupported:
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

bool FitsOneMessage(const std::string& latin1) {
  if (auto gsm = Latin1ToGsm(latin1)) return gsm->size() <= 160;
  return latin1.size() <= 70;
}

std::string EncodePdu(const Message& message, const ServiceCentre& centre) {
  bool deliver =
      message.status == MessageStatus::kRecUnread || message.status == MessageStatus::kRecRead;
  Octets out;
  AppendCentre(out, centre);
  out.push_back(deliver ? kFirstDeliver : kFirstSubmit);
  if (!deliver) out.push_back(0);  // message reference, given by the network on sending
  AppendAddress(out, message.number, message.type);
  out.push_back(0);  // protocol identifier: plain short message
  auto gsm = Latin1ToGsm(message.text);
  out.push_back(gsm ? kDcsGsm7 : kDcsUcs2);
  if (deliver) {
    AppendTimestamp(out, message.timestamp);
  } else {
    out.push_back(kValidity);
  }
  if (gsm) {
    out.push_back(static_cast<std::uint8_t>(gsm->size()));
    Octets packed = PackSeptets(*gsm);
    out.insert(out.end(), packed.begin(), packed.end());
  } else {
    out.push_back(static_cast<std::uint8_t>(message.text.size() * 2));
    for (char c : message.text) {
      out.push_back(0);
      out.push_back(static_cast<std::uint8_t>(c));
    }
  }
  return Hex(out);
}

int TpduLength(const std::string& hexPdu) {
  auto octets = FromHex(hexPdu);
  if (!octets || octets->empty()) return 0;
  return static_cast<int>(octets->size()) - 1 - (*octets)[0];
}

std::optional<DecodedPdu> DecodePdu(const std::string& hexPdu, int tpduLength) {
  auto octets = FromHex(hexPdu);
  if (!octets) return std::nullopt;
  Reader reader(*octets);
  std::uint8_t centreLength = 0;
  if (!reader.Take(centreLength) || !reader.Skip(centreLength)) return std::nullopt;
  if (tpduLength <= 0 || reader.Left() != static_cast<std::size_t>(tpduLength)) return std::nullopt;
  std::uint8_t first = 0;
  if (!reader.Take(first)) return std::nullopt;
  DecodedPdu pdu;
  std::uint8_t ignored = 0;
  std::uint8_t dcs = 0;
  switch (first & 0x03) {
    case 0: {  // SMS-DELIVER
      pdu.deliver = true;
      Octets stamp;
      if (!ReadAddress(reader, pdu.number, pdu.type) || !reader.Take(ignored) ||
          !reader.Take(dcs) || !reader.TakeSpan(7, stamp) || !DecimalTimestamp(stamp))
        return std::nullopt;
      pdu.timestamp = ReadTimestamp(stamp);
      break;
    }
    case 1: {  // SMS-SUBMIT
      if (!reader.Take(ignored) || !ReadAddress(reader, pdu.number, pdu.type) ||
          !reader.Take(ignored) || !reader.Take(dcs))
        return std::nullopt;
      int validityFormat = (first >> 3) & 0x03;
      std::size_t validityOctets = validityFormat == 2 ? 1 : (validityFormat == 0 ? 0 : 7);
      if (!reader.Skip(validityOctets)) return std::nullopt;
      break;
    }
    default:
      return std::nullopt;
  }
  auto text = ReadUserData(reader, dcs, (first & 0x40) != 0);
  if (!text) return std::nullopt;
  pdu.text = *text;
  return pdu;
}

}  // namespace kestrix
