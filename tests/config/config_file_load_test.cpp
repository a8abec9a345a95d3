// Loading a configuration file into the 21 fields as the window does: each
// line handed over is set and filtered until stable. One table of file
// bytes -> resulting fields, starting from fields that all hold something.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "config/config_file.h"
#include "support/temp_folder.h"

namespace {

using config::ConfigField;
using config::ConfigTexts;
using config::kConfigFieldCount;

ConfigTexts StartFields() {
  ConfigTexts fields;
  for (std::size_t line = 0; line < kConfigFieldCount; ++line) {
    bool text = config::KindOf(config::FieldAt(line)) == config::FieldKind::Text;
    fields[line] = (text ? "old text " : "+10") + std::to_string(line);
  }
  return fields;
}

std::string Settled(ConfigField field, std::string text) {
  for (std::string next = config::FilterFor(field, text); next != text;
       next = config::FilterFor(field, text)) {
    text = next;
  }
  return text;
}

ConfigTexts Load(const std::string& file) {
  ConfigTexts fields = StartFields();
  std::size_t calls = 0;
  config::LoadConfigFile(file, [&](ConfigField field, const std::string& text) {
    EXPECT_EQ(config::LineOf(field), calls++) << "fields are set in file order";
    fields[config::LineOf(field)] = Settled(field, text);
  });
  EXPECT_TRUE(calls == 0 || calls == kConfigFieldCount) << calls;
  return fields;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

TEST(ConfigFileLoad, FileBytesToFields) {
  // Long lines, in a file just short of the largest one loaded.
  constexpr std::size_t kLong = config::kMaxConfigFileSize - 64;
  std::vector<std::string> full;
  for (std::size_t line = 0; line < kConfigFieldCount; ++line) {
    full.push_back("+4" + std::to_string(line));
  }
  struct Case {
    std::string name;
    std::string bytes;
    bool changes;
    // The first fields; all after them are cleared.
    std::vector<std::string> fields;
  };
  // Line 11 is the first text line.
  auto afterTenEmpty = [](std::vector<std::string> fields) {
    fields.insert(fields.begin(), 10, "");
    return fields;
  };
  std::string tenEmpty = Lines(std::vector<std::string>(10, ""));
  std::vector<Case> cases = {
      {"empty file", "", false, {}},
      {"Ctrl-Z first", "\x1a+421\r\n", false, {}},
      {"one empty line clears all", "\r\n", true, {}},
      {"five lines", Lines({"+1", "+2", "+3", "+4", "+5"}), true, {"+1", "+2", "+3", "+4", "+5"}},
      {"bare LF", "+11\n+22\n", true, {"+11", "+22"}},
      {"last line without end", "+11\r\n+22", true, {"+11", "+22"}},
      {"a CR without LF is dropped", "+4\r21\r\n+5\r\r\n", true, {"+421", "+5"}},
      {"Ctrl-Z ends the file", "+11\r\n+2\0322\r\n+33\r\n", true, {"+11", "+2"}},
      {"lines after the 21st", Lines(full) + "+99\r\n", true, full},
      {"blanks inside a number", "0903 123 456\r\n", true, {"0903"}},
      {"blanks around a number", "  +421  \r\n", true, {"+421"}},
      {"blanks around a text", tenEmpty + "  hi  ", true, afterTenEmpty({"  hi  "})},
      {"one-character number", "5\r\n", true, {"+"}},
      {"8-bit first character", "\35112\r\n", true, {"\35112"}},  // octal 351, then 12
      {"60-character text", tenEmpty + std::string(60, 'x'), true,
       afterTenEmpty({std::string(40, 'x')})},
      {"long leading blanks", std::string(kLong, ' ') + "+421\r\n+22", true, {"+421", "+22"}},
      {"a far plus resets", "x" + std::string(kLong, '1') + "+\r\n+22", true, {"+", "+22"}},
      {"long tail after a number",
       "+421" + std::string(kLong, 'a') + "\n+22",
       true,
       {"+421", "+22"}},
      {"long text line", tenEmpty + std::string(kLong, 'y') + "\r\n+55", true,
       afterTenEmpty({std::string(40, 'y'), "+55"})},
  };
  morvel::test::TempFolder folder;
  std::string file = folder.File("kestrix.mvf");
  for (const Case& c : cases) {
    morvel::test::WriteAll(file, c.bytes);
    ConfigTexts expected = StartFields();
    if (c.changes) {
      expected.fill("");
      std::copy(c.fields.begin(), c.fields.end(), expected.begin());
    }
    EXPECT_EQ(Load(file), expected) << c.name;
  }
}

// A file that large is no configuration, and reading it could block the
// window for minutes: refused before a field is set, or, when it grows past
// the limit while it is read (after the first line here), once it does.
TEST(ConfigFileLoad, AFileLargerThanAnyConfigurationIsRefused) {
  morvel::test::TempFolder folder;
  const std::string file = folder.File("kestrix.mvf");
  const std::pair<std::size_t, std::size_t> sizeAndGrowth[] = {{config::kMaxConfigFileSize - 5, 0},
                                                               {6, config::kMaxConfigFileSize}};
  for (auto [size, growth] : sizeAndGrowth) {
    morvel::test::WriteAll(file, "+421\r\n" + std::string(size, '1'));
    std::size_t set = 0;
    std::string told;
    try {
      config::LoadConfigFile(file, [&](ConfigField, const std::string&) {
        if (set++ == 0) std::ofstream(file, std::ios::app) << std::string(growth, '1');
      });
    } catch (const config::EFileError& error) {
      told = error.what();
    }
    EXPECT_EQ(told, "File too large (a configuration file is at most 1 MiB)") << growth;
    EXPECT_EQ(set, growth == 0 ? 0u : 1u);
  }
}

}  // namespace
