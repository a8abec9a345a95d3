// What the command-line tests share: simulated Kestrix devices on ptys, the
// port folder their COM numbers go through, configuration files, and gammu
// reading a device's SIM back as an independent client.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_process.h"
#include "config/config_fields.h"
#include "sim_process.h"
#include "support/port_folder.h"

namespace morvel::test {

// An entry of the SIM as gammu lists it: a number and a name or a text.
struct SimEntry {
  std::string Number;
  std::string Text;
  bool operator==(const SimEntry&) const = default;
};
using SimEntries = std::map<int, SimEntry>;

// A simulated Kestrix whose SIM starts as `state` (kestrix-sim's JSON).
class Kestrix {
 public:
  explicit Kestrix(const nlohmann::json& state, std::vector<std::string> faults = {});

  const std::string& Device() const { return sim_->DevicePath(); }
  // The SIM phonebook and message store, read by gammu.
  SimEntries Phonebook() const { return ListedPhonebook(Gammu("getallmemory")); }
  SimEntries Messages() const { return ListedMessages(Gammu("getallsms")); }
  // What gammu prints for "getallmemory" (the SIM's) or "getallsms"; safe
  // to run for several devices at once.
  std::string Gammu(const std::string& command) const;

  static SimEntries ListedPhonebook(const std::string& listing);
  static SimEntries ListedMessages(const std::string& listing);

 private:
  kestrix::test::TempDir dir_;
  std::unique_ptr<kestrix::test::SimProcess> sim_;
};

// The simulator's sample state, with the phonebook and messages given.
nlohmann::json SampleState();
nlohmann::json StateWith(const SimEntries& phonebook, const SimEntries& messages);

// A .mvf file's bytes: the 21 texts, each line ending in CR LF.
std::string MvfBytes(const config::ConfigTexts& fields);

// A configuration with every field filled, different for each `seed`.
config::ConfigTexts FullConfiguration(int seed);
using TaggedNumbers = std::map<std::string, std::string>;
// The numbers under the device's tags (MASTER1 to MASTER8, SERVICE): as
// the SIM lists them, and as a configuration has them (empty ones left out).
TaggedNumbers TaggedIn(const SimEntries& phonebook);
TaggedNumbers TaggedIn(const config::ConfigTexts& fields);
// The six messages of a configuration, as the SIM lists them.
SimEntries MessagesIn(const config::ConfigTexts& fields);

class CliTest : public ::testing::Test {
 protected:
  PortFolder ports_;
  kestrix::test::TempDir files_;
};

}  // namespace morvel::test
