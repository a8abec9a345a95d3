// Feeds the simulated Kestrix arbitrary bytes, as a client on the line
// would send them, a line at a time with time passing in between, and
// checks that every reply is framed, that the SIM never holds what a state
// file could not, and that once time has passed the device is idle again.
// An input that starts with 0xFF takes its next byte as a set of faults.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "modem.h"
#include "sim_state.h"
#include "state_file.h"

namespace {

using fuzz::Require;

constexpr unsigned char kFaultsMarker = 0xFF;

class CheckedOutput : public kestrix::ModemOutput {
 public:
  void Echo(const std::string& bytes) override {
    Require(bytes.size() == 1, "an echo is one byte, sent as it came");
  }
  void Reply(const std::string& bytes) override {
    Require(bytes.starts_with("\r\n"), "a reply starts with CR LF");
    Require(bytes.ends_with("\r\n") || bytes.ends_with("\r\n> "),
            "a reply ends with CR LF or the prompt");
  }
  void HangUp() override { hungUp_ = true; }
  bool HungUp() const { return hungUp_; }

 private:
  bool hungUp_ = false;
};

kestrix::SimState StartState() {
  kestrix::SimState state;
  state.centre = {"+43664", 145};
  state.phonebook.entries[1] = {"+431234567", 145, "MASTER1"};
  state.phonebook.entries[9] = {"0664123", 129, "SERVICE"};
  state.messages.entries[1] = {kestrix::MessageStatus::kRecUnread, "+4912345", 145, "Credit 5.00",
                               "24/01/15,10:30:00+04"};
  state.messages.entries[2] = {kestrix::MessageStatus::kStoUnsent, "123", 129, "input1", ""};
  return state;
}

void AddFaults(kestrix::Faults& faults, unsigned char mask) {
  if (mask & 0x01) faults.fail.insert("+CSQ");
  if (mask & 0x02) faults.ignore.insert("+CPBR");
  if (mask & 0x04) faults.unsolicited.push_back({2, "+CREG: 0,5"});
  if (mask & 0x08) faults.hangupAfter = 3;
  if (mask & 0x10) faults.simWriteMs = 50;
  if (mask & 0x20) {
    faults.lose.push_back("+CMGD");
    faults.unsolicitedAt.push_back({"+CMGW", "RING"});
  }
  if (mask & 0x40) {
    faults.restartAt.push_back("+CPBR");
    faults.restartMs = 20;
  }
  if (mask & 0x80) faults.incomingAt.push_back({"+CMGD", "+4366", "Hi"});
}

// Each line (up to its CR) arrives 10 ms after the one before; a busy spell
// may hold several.
void FeedOverTime(kestrix::Modem& modem, std::string_view bytes) {
  using namespace std::chrono_literals;
  kestrix::Modem::Clock::time_point now{};
  // At most one spell per byte fed, and the restart's.
  const std::size_t maxSpells = bytes.size() + 1;
  while (!bytes.empty()) {
    std::size_t end = std::min(bytes.find('\r'), bytes.size() - 1) + 1;
    modem.Feed(bytes.substr(0, end), now);
    bytes.remove_prefix(end);
    now += 10ms;
    modem.Tick(now);
  }
  for (std::size_t spells = 0; modem.BusyUntil(); ++spells) {
    Require(spells <= maxSpells, "busy spells come to an end");
    modem.Tick(*modem.BusyUntil());
  }
}

// Whatever the commands did, the state saves as a file that loads again:
// the same checks that keep a state file sane hold for what a client stored.
void CheckState(const kestrix::SimState& state) {
  try {
    kestrix::ParseState(kestrix::StateToJson(state));
  } catch (const kestrix::StateFileError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    Require(false, "the state saves as a file that loads again");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  kestrix::SimState state = StartState();
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == kFaultsMarker) {
    AddFaults(state.faults, static_cast<unsigned char>(bytes[1]));
    bytes.remove_prefix(2);
  }
  CheckedOutput output;
  kestrix::Modem modem(state, output, nullptr);
  FeedOverTime(modem, bytes);
  CheckState(state);
  Require(!output.HungUp() || state.faults.hangupAfter > 0, "only a fault hangs up");
  return 0;
}
