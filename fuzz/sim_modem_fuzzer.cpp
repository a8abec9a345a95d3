// Feeds the simulated Kestrix arbitrary bytes, as a client on the line
// would send them, and checks that every reply is framed and that the SIM
// never holds what a state file could not. An input that starts
// with 0xFF takes its next byte as a set of faults to show.
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
  modem.Feed(bytes);
  CheckState(state);
  Require(!output.HungUp() || state.faults.hangupAfter > 0, "only a fault hangs up");
  return 0;
}
