// A configuration file's lines as they stand, for a caller that compares them
// with what the fields would hold: one table of file bytes -> lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/config_file.h"
#include "support/temp_folder.h"

namespace {

using config::kConfigFieldCount;

std::string Lines(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

TEST(ConfigFileLines, FileBytesToLines) {
  const std::vector<std::string> full(kConfigFieldCount, "+4");
  struct Case {
    std::string name;
    std::string bytes;
    // The first lines; all after them are empty.
    std::vector<std::string> lines;
    bool empty = false;
    bool moreLines = false;
  };
  const Case cases[] = {
      {"empty file", "", {}, true},
      {"Ctrl-Z first", "\x1a+421\r\n", {}, true},
      {"one empty line", "\r\n", {}},
      {"blanks stay", "  +421  \r\n", {"  +421  "}},
      {"bare LF, CRs dropped", "+1\n+4\r21\r\n", {"+1", "+421"}},
      {"a line as long as it is", std::string(60, 'x'), {std::string(60, 'x')}},
      {"a very long line, the file within its limit",
       std::string((1 << 20) - 3, 'y') + "\n+5",
       {std::string(config::kKeptLineBytes, 'y'), "+5"}},
      {"empty lines after the 21st", Lines(full) + "\r\n\n\r\r\n", full},
      {"a line after the 21st", Lines(full) + "\r\n+99", full, false, true},
      {"Ctrl-Z before more lines", Lines(full) + "\x1a+99\r\n", full},
  };
  morvel::test::TempFolder folder;
  const std::string file = folder.File("site.mvf");
  for (const Case& c : cases) {
    morvel::test::WriteAll(file, c.bytes);
    const config::ConfigLines read = config::ReadConfigLines(file);
    config::ConfigTexts expected{};
    std::copy(c.lines.begin(), c.lines.end(), expected.begin());
    EXPECT_EQ(read.Lines, expected) << c.name;
    EXPECT_EQ(read.Empty, c.empty) << c.name;
    EXPECT_EQ(read.MoreLines, c.moreLines) << c.name;
  }
  EXPECT_THROW(config::ReadConfigLines(folder.File("missing.mvf")), config::EFileError);
  morvel::test::WriteAll(file, std::string((1 << 20) + 1, '\n'));
  EXPECT_THROW(config::ReadConfigLines(file), config::EFileError);
}

}  // namespace
