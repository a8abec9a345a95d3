// What morvelctl tells besides provisioning: the status bar of each device,
// the fields a device holds differently from a file, in text and in JSON,
// a read on standard output, the trace and log of each device, and a run
// stopped by a signal, which closes its ports and says how far it got.
#include <signal.h>

#include "cli_fixture.h"

namespace morvel::test {
namespace {

using config::ConfigField;
using nlohmann::json;

TEST_F(CliTest, StatusAsTheStatusBarShowsIt) {
  Kestrix registered(SampleState());
  Kestrix searching(SampleState(), {"--registration", "searching"});
  // Latin-1 shown as such, and a C1 control (CSI) that would drive the
  // terminal shown as its code.
  nlohmann::json foreign = SampleState();
  foreign["network"]["operator_name"] = "N\u00e9t\u009b2J";
  Kestrix abroad(foreign);
  ports_.Link(1, registered.Device());
  ports_.Link(2, searching.Device());
  ports_.Link(3, abroad.Device());
  const CliResult status = RunCli({"status", "-p", "COM1", "-p", "COM2", "-p", "COM3"});
  EXPECT_EQ(status.exitCode, 0) << status.err;
  EXPECT_EQ(status.out,
            "COM1: registered, Operator: \"Kestrix Net\", signal 21, Credit: 192\n"
            "COM2: not registered: Kestrix searching for a network\n"
            "COM3: registered, Operator: \"N\u00e9t\\x9B2J\", signal 21, Credit: 192\n");
}

TEST_F(CliTest, DifferencesFieldByFieldInTextAndJson) {
  Kestrix device(SampleState());
  ports_.Link(1, device.Device());
  config::ConfigTexts file{};
  file[config::LineOf(ConfigField::MASTER1)] = "+436641234567";
  file[config::LineOf(ConfigField::MASTER2)] = "+4311";
  file[config::LineOf(ConfigField::SERVICE)] = "06641112223";
  file[config::LineOf(ConfigField::SMSPhone1)] = "+436640000";
  file[config::LineOf(ConfigField::SMSText1)] = "CREDIT?";
  file[config::LineOf(ConfigField::SMSPhone2)] = "+436641234567";
  files_.Write("site.mvf", MvfBytes(file));
  const std::string name = files_.File("site.mvf");

  const CliResult diff = RunCli({"diff", name, "-p", "COM1"});
  EXPECT_EQ(diff.exitCode, 1) << diff.err;
  EXPECT_EQ(diff.out,
            "COM1: MASTER2: device \"+436649876543\", file \"+4311\"\n"
            "COM1: SMS2_text: device \"Input 1 on\", file \"\"\n"
            "COM1: differs from " +
                name + " in 2 fields\n");

  const CliResult asJson = RunCli({"diff", name, "-p", "COM1", "--json", "-q"});
  EXPECT_EQ(asJson.exitCode, 1);
  EXPECT_EQ(asJson.err, "");
  const json document = json::parse(asJson.out);
  EXPECT_EQ(document["command"], "diff");
  EXPECT_EQ(document["exit"], 1);
  const json& device1 = document["devices"][0];
  EXPECT_EQ(device1["port"], "COM1");
  EXPECT_EQ(device1["fields"]["SMS2_text"], "Input 1 on");
  EXPECT_EQ(device1["differences"],
            json::parse(R"([{"field": "MASTER2", "device": "+436649876543", "file": "+4311"},
                            {"field": "SMS2_text", "device": "Input 1 on", "file": ""}])"));
}

// Save PBook erases only the entry the fields came from: an earlier one
// under the same tag would stay, unseen, however often the file is written.
TEST_F(CliTest, ATagTheSimHoldsTwiceIsSaid) {
  Kestrix device(StateWith({{1, {"+4311", "MASTER1"}}, {5, {"+4322", "MASTER1"}}}, {}));
  config::ConfigTexts file{};
  file[config::LineOf(ConfigField::MASTER1)] = "+4399";
  files_.Write("site.mvf", MvfBytes(file));
  const CliResult write = RunCli({"write", files_.File("site.mvf"), "-p", device.Device(), "-q"});
  EXPECT_EQ(write.exitCode, 1);
  EXPECT_NE(write.out.find(": the SIM holds MASTER1 2 times: 1:MASTER1[+4311], "),
            std::string::npos)
      << write.out;
}

TEST_F(CliTest, ReadToStandardOutputAndTraceAndLogPerDevice) {
  Kestrix first(SampleState());
  Kestrix second(StateWith({}, {}));
  ports_.Link(1, first.Device());
  ports_.Link(2, second.Device());
  const CliResult read = RunCli({"read", "-p", "2"});
  EXPECT_EQ(read.exitCode, 0) << read.err;
  EXPECT_EQ(read.out, MvfBytes(config::ConfigTexts{}));
  EXPECT_NE(read.err.find("COM2: messages read\nCOM2: read\n"), std::string::npos) << read.err;

  const std::string folder = files_.Path();
  const CliResult both = RunCli({"read", "-p", "COM1", "-p", "COM2", "-o", folder, "--trace",
                                 "--log", "--folder", folder, "-q"});
  EXPECT_EQ(both.exitCode, 0) << both.err;
  EXPECT_EQ(files_.Read("COM2.mvf"), MvfBytes(config::ConfigTexts{}));
  EXPECT_NE(files_.Read("COM1.mvf").find("CREDIT?\r\n"), std::string::npos);
  for (const char* port : {"COM1", "COM2"}) {
    const std::string trace = files_.Read(std::string("SERIAL-") + port + ".TRC");
    EXPECT_NE(trace.find("Transmit: \r\nAT+CPBR=1,100[0D][0A]"), std::string::npos) << trace;
    const std::string log = files_.Read(std::string("SERIAL-") + port + ".LOG");
    EXPECT_NE(log.find("Device: " + std::string(port) + "\r\n"), std::string::npos) << log;
  }
}

TEST_F(CliTest, StoppedBySignalClosesThePortAndSaysHowFarItGot) {
  Kestrix device(StateWith({}, {}), {"--delay", "200"});
  ports_.Link(1, device.Device());
  files_.Write("site.mvf", MvfBytes(FullConfiguration(3)));
  CliProcess write({"write", files_.File("site.mvf"), "-p", "COM1"});
  ASSERT_TRUE(write.WaitForError("COM1: MASTER2 written\n"));
  write.Signal(SIGINT);
  const CliResult stopped = write.Finish();
  EXPECT_EQ(stopped.exitCode, 130);
  EXPECT_NE(stopped.out.find("COM1: interrupted\nCOM1: written: MASTER1, MASTER2"),
            std::string::npos)
      << stopped.out;
  EXPECT_NE(stopped.out.find("SERVICE, SMS 1, SMS 2, SMS 3, SMS 4, SMS 5, SMS 6\n"),
            std::string::npos);
  // The port is free again at once, and the device still answers.
  EXPECT_EQ(RunCli({"status", "-p", "COM1"}).exitCode, 0);
}

}  // namespace
}  // namespace morvel::test
