#include "cli_fixture.h"

#include <fstream>
#include <regex>

namespace morvel::test {

namespace {

constexpr int kSlots = 6;

using config::LineOf;

std::string PhoneOf(const config::ConfigTexts& fields, int slot) {
  return fields[LineOf(config::ConfigField::SMSPhone1) + 2 * (slot - 1)];
}

std::string TextOf(const config::ConfigTexts& fields, int slot) {
  return fields[LineOf(config::ConfigField::SMSText1) + 2 * (slot - 1)];
}

// gammu's blocks, one per location: "Location N" and what follows it.
std::vector<std::pair<int, std::string>> Blocks(const std::string& listing) {
  std::vector<std::pair<int, std::string>> blocks;
  const std::regex start("Location (\\d+)");
  for (auto it = std::sregex_iterator(listing.begin(), listing.end(), start);
       it != std::sregex_iterator(); ++it) {
    const std::size_t from = static_cast<std::size_t>(it->position()) + it->length();
    const std::size_t to = listing.find("Location ", from);
    blocks.emplace_back(std::stoi((*it)[1]), listing.substr(from, to - from));
  }
  return blocks;
}

std::string Quoted(const std::string& block, const std::string& label) {
  std::smatch found;
  const std::regex field(label + "\\s*: \"([^\"]*)\"");
  return std::regex_search(block, found, field) ? found[1].str() : "<none>";
}

}  // namespace

Kestrix::Kestrix(const nlohmann::json& state, std::vector<std::string> faults) {
  dir_.Write("state.json", state.dump());
  std::vector<std::string> args = {"--state", dir_.File("state.json")};
  args.insert(args.end(), faults.begin(), faults.end());
  sim_ = std::make_unique<kestrix::test::SimProcess>(args, false);
  EXPECT_FALSE(sim_->DevicePath().empty()) << sim_->Stderr();
  dir_.Write("gammurc", "[gammu]\ndevice = " + sim_->DevicePath() + "\nconnection = at19200\n");
}

std::string Kestrix::Gammu(const std::string& command) const {
  std::vector<std::string> args = {"gammu", "-c", dir_.File("gammurc"), command};
  if (command == "getallmemory") args.push_back("SM");
  const kestrix::test::RunResult run = kestrix::test::RunProgram(args, {"HOME=" + dir_.Path()});
  EXPECT_EQ(run.exitCode, 0) << "gammu " << command << ": " << run.output;
  return run.output;
}

SimEntries Kestrix::ListedPhonebook(const std::string& listing) {
  SimEntries entries;
  for (const auto& [location, block] : Blocks(listing)) {
    entries[location] = {Quoted(block, "General number"), Quoted(block, "Name")};
  }
  return entries;
}

SimEntries Kestrix::ListedMessages(const std::string& listing) {
  SimEntries entries;
  for (const auto& [location, block] : Blocks(listing)) {
    // The text is the line after the block's first empty line.
    const std::size_t blank = block.find("\n\n");
    const std::size_t end = block.find('\n', blank + 2);
    entries[location] = {
        Quoted(block, "Remote number"),
        blank == std::string::npos ? "" : block.substr(blank + 2, end - blank - 2)};
  }
  return entries;
}

nlohmann::json SampleState() {
  std::ifstream in(std::string(KESTRIX_SOURCE_DIR) + "/sample-state.json");
  return nlohmann::json::parse(in);
}

nlohmann::json StateWith(const SimEntries& phonebook, const SimEntries& messages) {
  nlohmann::json state = SampleState();
  state["phonebook"]["entries"] = nlohmann::json::array();
  for (const auto& [index, entry] : phonebook) {
    state["phonebook"]["entries"].push_back(
        {{"index", index}, {"number", entry.Number}, {"text", entry.Text}});
  }
  state["messages"]["entries"] = nlohmann::json::array();
  for (const auto& [index, entry] : messages) {
    state["messages"]["entries"].push_back({{"index", index},
                                            {"status", "STO UNSENT"},
                                            {"number", entry.Number},
                                            {"text", entry.Text}});
  }
  return state;
}

std::string MvfBytes(const config::ConfigTexts& fields) {
  std::string bytes;
  for (const std::string& field : fields) bytes += field + "\r\n";
  return bytes;
}

config::ConfigTexts FullConfiguration(int seed) {
  config::ConfigTexts fields;
  const std::string site = std::to_string(seed);
  for (std::size_t line = 0; line <= LineOf(config::ConfigField::SERVICE); ++line) {
    fields[line] = "+4219" + site + "0000" + std::to_string(line);
  }
  for (int slot = 1; slot <= kSlots; ++slot) {
    fields[LineOf(config::ConfigField::SMSPhone1) + 2 * (slot - 1)] =
        "+4369" + site + "00" + std::to_string(slot);
    fields[LineOf(config::ConfigField::SMSText1) + 2 * (slot - 1)] =
        "Site " + site + " input " + std::to_string(slot) + " on (zone 3)";
  }
  return fields;
}

TaggedNumbers TaggedIn(const SimEntries& phonebook) {
  TaggedNumbers tagged;
  const std::regex tag("MASTER[1-8]|SERVICE");
  for (const auto& [location, entry] : phonebook) {
    if (std::regex_match(entry.Text, tag)) tagged[entry.Text] = entry.Number;
  }
  return tagged;
}

TaggedNumbers TaggedIn(const config::ConfigTexts& fields) {
  TaggedNumbers tagged;
  for (std::size_t line = 0; line <= LineOf(config::ConfigField::SERVICE); ++line) {
    if (!fields[line].empty())
      tagged[std::string(config::FieldName(config::FieldAt(line)))] = fields[line];
  }
  return tagged;
}

SimEntries MessagesIn(const config::ConfigTexts& fields) {
  SimEntries messages;
  for (int slot = 1; slot <= kSlots; ++slot)
    messages[slot] = {PhoneOf(fields, slot), TextOf(fields, slot)};
  return messages;
}

}  // namespace morvel::test
