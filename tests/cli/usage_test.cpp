// A command line morvelctl cannot follow, or a file it will not write,
// ends with exit status 2 and says why before any port is opened: each
// case names a device that answers nothing, so a port opened would show.
#include "cli_fixture.h"

namespace morvel::test {
namespace {

TEST_F(CliTest, MistakesEndWithStatus2AndSayWhy) {
  config::ConfigTexts refused{};
  refused[config::LineOf(config::ConfigField::SMSText1)] = "Hello \"world\"";
  files_.Write("refused.mvf", MvfBytes(refused));
  files_.Write("empty.mvf", "");
  files_.Write("long.mvf", MvfBytes(FullConfiguration(1)) + "+4321\r\n");
  const std::string missing = files_.File("missing.mvf");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "no command: read, write, diff or status"},
      {{"frobnicate", "-p", "COM1"}, "unknown command 'frobnicate'"},
      {{"read"}, "no --port given"},
      {{"write", "-p", "COM1"}, "write needs the .mvf file to write"},
      {{"status", "x", "-p", "COM1"}, "unexpected argument 'x'"},
      {{"read", "--bogus", "-p", "COM1"}, "unknown option or missing value: --bogus"},
      {{"read", "-p"}, "unknown option or missing value: -p"},
      {{"read", "-p", "ttyS0"}, "--port ttyS0: not COMn, a number or a device path"},
      {{"read", "-p", "COM0"}, "--port COM0: not COMn, a number or a device path"},
      {{"status", "-p", "1", "-p", "com1"}, "--port com1 and --port COM1 name one device"},
      {{"status", "-p", "COM1", "-o", "x.mvf"}, "-o is for read only"},
      {{"read", "-p", "COM1", "-p", "COM2"},
       "with several devices -o names the folder their files go to"},
      {{"read", "-p", "COM1", "--log", "--folder", missing}, missing + " is not a folder"},
      {{"diff", missing, "-p", "COM1"}, missing + ": File not found"},
      {{"write", files_.File("empty.mvf"), "-p", "COM1"}, "empty.mvf: holds no configuration"},
      {{"write", files_.File("long.mvf"), "-p", "COM1"},
       "long.mvf: holds more than the 21 lines of a configuration"},
      {{"write", files_.File("refused.mvf"), "-p", "COM1"},
       "refused.mvf line 11 (SMS1_text): \"Hello \"world\"\" would be written as \"Hello \""},
  };
  Kestrix device(StateWith({}, {}), {"--ignore", "E"});
  ports_.Link(1, device.Device());
  for (const auto& [args, said] : cases) {
    const CliResult run = RunCli(args);
    EXPECT_EQ(run.exitCode, 2) << said;
    EXPECT_EQ(run.out, "") << said;
    EXPECT_TRUE(run.err.starts_with("morvelctl: ")) << run.err;
    EXPECT_NE(run.err.find(said + "\nUsage: morvelctl read"), std::string::npos) << run.err;
  }
  const CliResult help = RunCli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: morvelctl read --port P [-o FILE]\n")) << help.out;
  const CliResult version = RunCli({"status", "--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "morvelctl " MORVEL_VERSION "\n");
}

}  // namespace
}  // namespace morvel::test
