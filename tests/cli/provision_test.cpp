// Provisioning through morvelctl, checked from outside: what one device
// holds is read into a file, written to others, and gammu reads each SIM
// back. The write replaces the tagged entries and the six messages and
// leaves every other entry and message where it was.
#include <future>

#include "cli_fixture.h"

namespace morvel::test {
namespace {

using config::ConfigField;

TEST_F(CliTest, ReadWriteToAnotherDeviceDiffAndGammuAgree) {
  Kestrix source(SampleState());
  // Tags at other locations than the source's, one not in the file, a
  // contact and a received message that are none of the device's.
  Kestrix target(
      StateWith({{2, {"+4312", "Anna"}}, {5, {"+4399", "MASTER1"}}, {9, {"+4398", "MASTER4"}}},
                {{3, {"+4311", "old"}}, {8, {"+4322", "keep me"}}}));
  ports_.Link(1, source.Device());
  const std::string file = files_.File("site.mvf");

  const CliResult read = RunCli({"read", "--port", "COM1", "-o", file, "--quiet"});
  ASSERT_EQ(read.exitCode, 0) << read.err << read.out;
  config::ConfigTexts expected{};
  expected[config::LineOf(ConfigField::MASTER1)] = "+436641234567";
  expected[config::LineOf(ConfigField::MASTER2)] = "+436649876543";
  expected[config::LineOf(ConfigField::SERVICE)] = "06641112223";
  expected[config::LineOf(ConfigField::SMSPhone1)] = "+436640000";
  expected[config::LineOf(ConfigField::SMSText1)] = "CREDIT?";
  expected[config::LineOf(ConfigField::SMSPhone2)] = "+436641234567";
  expected[config::LineOf(ConfigField::SMSText2)] = "Input 1 on";
  EXPECT_EQ(files_.Read("site.mvf"), MvfBytes(expected));
  EXPECT_EQ(read.out, "COM1: read into " + file + "\n");

  const CliResult write = RunCli({"write", file, "--port", target.Device()});
  ASSERT_EQ(write.exitCode, 0) << write.err << write.out;
  EXPECT_EQ(write.out, target.Device() + ": written and checked: holds " + file + "\n");
  for (const char* step : {"MASTER1 written", "MASTER3 left empty", "SERVICE written",
                           "SMS 6 deleted", "SMS 4 stored"}) {
    EXPECT_NE(write.err.find(target.Device() + ": " + std::string(step) + "\n"), std::string::npos)
        << step;
  }
  const CliResult diff = RunCli({"diff", file, "--port", target.Device(), "--port", "COM1"});
  EXPECT_EQ(diff.exitCode, 0) << diff.err;
  EXPECT_EQ(diff.out, target.Device() + ": holds " + file + "\nCOM1: holds " + file + "\n");

  const SimEntries targetBook = target.Phonebook();
  EXPECT_EQ(TaggedIn(targetBook), TaggedIn(source.Phonebook()));
  EXPECT_EQ(TaggedIn(targetBook), TaggedIn(expected));
  EXPECT_EQ(targetBook.at(2), (SimEntry{"+4312", "Anna"}));
  SimEntries messages = MessagesIn(expected);
  messages[8] = {"+4322", "keep me"};
  EXPECT_EQ(target.Messages(), messages);
}

TEST_F(CliTest, FourDevicesProvisionedInOneCommand) {
  std::vector<std::unique_ptr<Kestrix>> devices;
  for (int i = 0; i < 4; ++i) devices.push_back(std::make_unique<Kestrix>(StateWith({}, {})));
  ports_.Link(3, devices[0]->Device());
  ports_.Link(4, devices[1]->Device());
  const config::ConfigTexts site = FullConfiguration(7);
  files_.Write("site.mvf", MvfBytes(site));

  const CliResult write = RunCli({"write", files_.File("site.mvf"), "-q", "-p", "COM3", "-p", "4",
                                  "-p", devices[2]->Device(), "-p", devices[3]->Device()});
  ASSERT_EQ(write.exitCode, 0) << write.err << write.out;
  EXPECT_EQ(write.err, "");
  const std::string holds = ": written and checked: holds " + files_.File("site.mvf") + "\n";
  EXPECT_EQ(write.out, "COM3" + holds + "COM4" + holds + devices[2]->Device() + holds +
                           devices[3]->Device() + holds);

  // gammu takes seconds a device: the four at once, their listings read after.
  std::vector<std::future<std::pair<std::string, std::string>>> readBack;
  for (const auto& device : devices) {
    readBack.push_back(std::async(std::launch::async, [&device] {
      return std::make_pair(device->Gammu("getallmemory"), device->Gammu("getallsms"));
    }));
  }
  for (auto& listings : readBack) {
    const auto [phonebook, messages] = listings.get();
    EXPECT_EQ(TaggedIn(Kestrix::ListedPhonebook(phonebook)), TaggedIn(site));
    EXPECT_EQ(Kestrix::ListedMessages(messages), MessagesIn(site));
  }
}

}  // namespace
}  // namespace morvel::test
