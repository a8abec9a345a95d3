// Loads arbitrary bytes as a configuration file and checks the fields set
// against a plain model of the reading rules: nothing for an empty file or a
// leading Ctrl-Z; else 21 lines in order, cut at the first Ctrl-Z, split at
// LF, every CR dropped, missing lines empty. What a field is handed must
// filter like the whole line and stay short. Some inputs also go through a
// save and a second load, which must give the settled fields back exactly.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "config/config_file.h"
#include "config/field_filters.h"
#include "fuzz_support.h"

namespace {

using config::ConfigField;
using config::ConfigTexts;
using fuzz::Require;

std::vector<std::string> ModelLines(std::string bytes) {
  if (bytes.empty() || bytes[0] == 26) return {};
  bytes = bytes.substr(0, bytes.find('\x1a'));
  std::erase(bytes, '\r');
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (lines.size() < config::kConfigFieldCount) {
    if (at > bytes.size()) {
      lines.emplace_back();
      continue;
    }
    std::size_t end = bytes.find('\n', at);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

std::vector<std::string> Load(const std::string& file) {
  std::vector<std::string> handed;
  config::LoadConfigFile(file, [&](ConfigField field, const std::string& text) {
    Require(config::LineOf(field) == handed.size(), "fields are set in file order");
    handed.push_back(text);
  });
  return handed;
}

// What the field holds after the change handler's nested pass: two passes
// at most (the filter fuzzer checks that).
std::string Settled(ConfigField field, const std::string& text) {
  return config::FilterFor(field, config::FilterFor(field, text));
}

// A save flushes to disk: too slow for every input.
bool AlsoSave(std::size_t size) {
  return size % 16 == 0;
}

void CheckRoundTrip(const std::vector<std::string>& lines, const std::string& file) {
  ConfigTexts texts;
  std::string expected;
  for (std::size_t line = 0; line < lines.size(); ++line) {
    texts[line] = Settled(config::FieldAt(line), lines[line]);
    expected += texts[line] + "\r\n";
  }
  config::SaveConfigFile(file, texts);
  Require(fuzz::ReadAll(file) == expected, "a save writes 21 CR LF lines, bytes as they are");
  std::vector<std::string> again = Load(file);
  Require(std::equal(again.begin(), again.end(), texts.begin(), texts.end()),
          "a saved configuration loads back exactly");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzz::ScratchFolder folder;
  static const std::string file = folder.File("fuzz.mvf");
  std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
    Require(out.good(), "the input file is written");
  }
  std::vector<std::string> handed = Load(file);
  std::vector<std::string> lines = ModelLines(bytes);
  Require(handed.size() == lines.size(), "21 fields, or none for an empty file");
  for (std::size_t line = 0; line < lines.size(); ++line) {
    ConfigField field = config::FieldAt(line);
    Require(config::FilterFor(field, handed[line]) == config::FilterFor(field, lines[line]),
            "a field is handed what filters like its whole line");
    Require(handed[line].size() <= config::kMaxSMSTextLength, "no line is held whole");
  }
  if (!lines.empty() && AlsoSave(size)) CheckRoundTrip(lines, file);
  return 0;
}
