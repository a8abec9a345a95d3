// The device's state as plain data: what its SIM holds, how the network looks
// to it, who it says it is, and the faults it has been told to show. Texts are
// Latin-1 bytes, as the SIM stores them.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kestrix {

struct PhonebookEntry {
  std::string number;  // digits, "+" first when international
  int type = 129;      // type of address: 129 national/unknown, 145 international
  std::string text;
};

struct Phonebook {
  static constexpr int kNumberDigits = 20;
  static constexpr int kTextLength = 14;
  int size = 250;
  std::map<int, PhonebookEntry> entries;  // by location, 1..size
};

enum class MessageStatus { kRecUnread, kRecRead, kStoUnsent, kStoSent };

struct Message {
  MessageStatus status = MessageStatus::kStoUnsent;
  std::string number;  // sender (received) or destination (stored)
  int type = 129;
  std::string text;
  std::string timestamp;  // "yy/MM/dd,hh:mm:ss+zz", received messages only
};

struct MessageStore {
  int size = 30;
  std::map<int, Message> entries;  // by index, 1..size
};

struct Network {
  int registration = 1;      // 0 none, 1 home, 2 searching, 3 denied, 4 unknown, 5 roaming
  int gprsRegistration = 1;  // same values
  bool gprsAttached = true;
  std::string lac = "1A2B";  // hex, 4 digits
  std::string ci = "00C3";   // hex, 4 to 8 digits
  int rssi = 21;             // 0..31, 99 unknown
  int ber = 99;              // 0..7, 99 unknown
  std::string operatorName = "Kestrix Net";
  std::string operatorNumeric = "23201";
};

struct Charge {
  std::uint32_t acm = 0;     // accumulated call meter, 24 bits
  std::uint32_t acmMax = 0;  // its maximum, 0 for none
};

struct ServiceCentre {
  std::string number;
  int type = 145;
};

struct Identity {
  std::string manufacturer = "Morvel";
  std::string model = "Kestrix";
  std::string revision = "1.0";
  std::string serial = "356938035643809";
  std::string imsi = "232010000000001";
};

// How the device starts: at power-up, and again after ATZ or a restart.
struct PowerUp {
  bool textMode = true;         // AT+CMGF; many modems start in PDU mode
  int errorMode = 0;            // AT+CMEE
  int registrationReports = 0;  // AT+CREG=n
  bool simPin = false;          // the SIM waits for a PIN that nobody enters
};

// A line sent on its own after the reply to the given command (counted from 1).
struct Unsolicited {
  int afterCommand = 1;
  std::string line;
};

// Commands are named as in "+CSQ" (any +CSQ) or "+CMGD=3" (that form only);
// each fault below fires at the first command line holding its command.
struct UnsolicitedAt {
  std::string command;
  std::string line;
};

// A short message the SIM receives from the network.
struct IncomingMessage {
  std::string command;
  std::string number = "+436609999999";
  std::string text = "Incoming message";
};

struct Faults {
  std::vector<std::size_t> splitAt;  // reply offsets where a fragment ends
  bool splitRandom = false;          // or random fragment ends, from `seed`
  unsigned seed = 1;
  int fragmentGapMs = 20;        // pause between fragments
  int delayMs = 0;               // before every reply
  std::set<std::string> ignore;  // command names never answered, "+CSQ"
  std::set<std::string> fail;    // command names answered with ERROR
  std::vector<Unsolicited> unsolicited;
  int hangupAfter = 0;            // hang up after this many command lines, 0 never
  int simWriteMs = 0;             // a SIM write keeps the device busy this long
  std::vector<std::string> lose;  // one answer each is never sent
  std::vector<UnsolicitedAt> unsolicitedAt;
  std::vector<IncomingMessage> incomingAt;
  std::vector<std::string> restartAt;  // the device restarts instead of answering
  int restartMs = 300;                 // from a restart to its first banner
};

struct SimState {
  Identity identity;
  Network network;
  Charge charge;
  ServiceCentre centre;
  Phonebook phonebook;
  MessageStore messages;
  PowerUp powerUp;
  Faults faults;
};

}  // namespace kestrix
