// Starting and ending the simulator: flags, state files, the COM link,
// signals, clients that close and reopen the device, and the command log.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "sim_process.h"

namespace kestrix::test {
namespace {

const std::string kSample = std::string(KESTRIX_SOURCE_DIR) + "/sample-state.json";

// CPU time (clock ticks) the process has used so far.
long CpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  long utime = 0;
  long stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) stime = std::stol(field);
  }
  return utime + stime;
}

TEST(Flags, HelpAndBadFlagsAreClear) {
  RunResult help = RunProgram({KESTRIX_SIM_BINARY, "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("--save-state FILE"), std::string::npos);
  for (std::vector<std::string> bad :
       std::vector<std::vector<std::string>>{{"--bogus"},
                                             {"--com"},
                                             {"--com", "x"},
                                             {"--baud", "-5"},
                                             {"--registration", "mars"},
                                             {"--unsolicited", "RING"},
                                             {"--unsolicited-at", "+CSQ"},
                                             {"--incoming-at", "+CMGD:+43"},
                                             {"--incoming-at", "+CMGD:x:hi"},
                                             {"--lose", "AT"},
                                             {"--cmee", "3"},
                                             {"--creg-reports", "-1"},
                                             {"--phonebook-size", "0"},
                                             {"--sim-write-ms", "x"},
                                             {"--com", "1", "--tty", "/dev/null"}}) {
    bad.insert(bad.begin(), KESTRIX_SIM_BINARY);
    RunResult r = RunProgram(bad);
    EXPECT_EQ(r.exitCode, 2) << bad[1];
    EXPECT_NE(r.output.find("Try 'kestrix-sim --help'"), std::string::npos) << r.output;
  }
}

TEST(StateFile, BadFilesAreRefusedWholeWithTheirPlace) {
  TempDir dir;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"{", "not valid JSON"},
      {R"({"phonebook": {"entries": [{"index": 0}]}})", "phonebook.entries[0].index"},
      {R"({"phonebook": {"entries": [{"index": 1, "text": "ABCDEFGHIJKLMNO"}]}})",
       "longer than 14"},
      {R"({"phonebook": {"entries": [{"index": 1}, {"index": 1}]}})", "repeats index 1"},
      {R"({"messages": {"entries": [{"index": 1, "status": "REC READ", "text": "x"}]}})",
       "timestamp"},
      {R"({"messages": {"entries": [{"index": 1, "status": "LOST"}]}})", "status"},
      {R"({"network": {"rssi": 40}})", "network.rssi"},
      {R"({"network": {"registration": "away"}})", "network.registration"},
      {R"({"identity": {"model": "\u0394"}})", "outside Latin-1"},
      {R"({"netwrk": {}})", "netwrk: is not a known setting"},
      {R"({"power_up": {"message_format": "binary"}})", "power_up.message_format"},
      {R"({"power_up": {"cmee": 3}})", "power_up.cmee"},
      {R"({"faults": {"lose": "+CSQ"}})", "faults.lose"},
      {R"({"faults": {"incoming_at": [{"command": "+CMGD", "number": "x1"}]}})",
       "faults.incoming_at[0].number"},
      {R"({"faults": {"unsolicited_at": [{"line": "RING"}]}})", "faults.unsolicited_at[0].command"},
  };
  for (const auto& [json, message] : cases) {
    dir.Write("bad.json", json);
    RunResult r = RunProgram({KESTRIX_SIM_BINARY, "--state", dir.File("bad.json")});
    EXPECT_EQ(r.exitCode, 1) << json;
    EXPECT_NE(r.output.find(message), std::string::npos) << json << " -> " << r.output;
  }
  RunResult missing = RunProgram({KESTRIX_SIM_BINARY, "--state", dir.File("none.json")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.output.find("cannot be read"), std::string::npos);
}

TEST(StateFile, SavedStateLoadsBackUnchangedAndHoldsTheChanges) {
  TempDir dir;
  {
    SimProcess sim({"--state", kSample, "--save-state", dir.File("a.json")});
    sim.Command("ATE0");
    sim.Command("AT+CPBW=1");
    sim.Command("AT+CPBW=,\"+43555\",145,\"Gr\xFC\xDF\"");
    sim.Command("AT+CMGD=2");
    EXPECT_EQ(sim.Stop(), 0);
  }
  std::string saved = dir.Read("a.json");
  EXPECT_EQ(saved.find("MASTER1"), std::string::npos);
  EXPECT_NE(saved.find("Gr\xC3\xBC\xC3\x9F"), std::string::npos) << "Latin-1 saved as UTF-8";
  EXPECT_EQ(saved.find("Input 1 on"), std::string::npos);
  {
    SimProcess again({"--state", dir.File("a.json"), "--save-state", dir.File("b.json")});
    EXPECT_EQ(again.Command("ATE0;+CPBR=1,2"),
              "ATE0;+CPBR=1,2\r\r\n+CPBR: 1,\"+43555\",145,\"Gr\xFC\xDF\"\r\n"
              "\r\n+CPBR: 2,\"+436649876543\",145,\"MASTER2\"\r\n\r\nOK\r\n");
  }
  EXPECT_EQ(dir.Read("b.json"), saved);
}

// Every device flag lands in the saved state and loads back as it was,
// command names with 8-bit bytes among them.
TEST(StateFile, DeviceFlagsSaveAndLoadBackUnchanged) {
  TempDir dir;
  std::vector<std::string> args = {"--state", kSample, "--save-state", dir.File("a.json")};
  std::istringstream flags(
      "--sim-write-ms 250 --lose +CMGD=3 --unsolicited-at +csq:RING --incoming-at "
      "+CMGW:+43123:H\xC3\xA9:x --restart-at +CPBR=1,100 --restart-ms 500 --pdu-at-start --cmee 1 "
      "--creg-reports 2 --sim-pin --phonebook-size 50 --ignore +CPBW=1,\"\xE9\"");
  for (std::string flag; flags >> flag;) args.push_back(flag);
  EXPECT_EQ(SimProcess(args).Stop(), 0);
  nlohmann::json saved = nlohmann::json::parse(dir.Read("a.json"));
  EXPECT_EQ(saved["power_up"], nlohmann::json::parse(R"({"message_format": "pdu", "cmee": 1,
      "creg_reports": 2, "sim_pin": true})"));
  EXPECT_EQ(saved["phonebook"]["size"], 50);
  const nlohmann::json faults = nlohmann::json::parse(R"({"sim_write_ms": 250,
      "lose": ["+CMGD=3"], "unsolicited_at": [{"command": "+CSQ", "line": "RING"}],
      "incoming_at": [{"command": "+CMGW", "number": "+43123", "text": "H\u00e9:x"}],
      "restart_at": ["+CPBR=1,100"], "restart_ms": 500, "ignore": ["+CPBW=1,\"\u00e9\""]})");
  for (const auto& [flag, value] : faults.items()) EXPECT_EQ(saved["faults"][flag], value) << flag;
  EXPECT_EQ(SimProcess({"--state", dir.File("a.json"), "--save-state", dir.File("b.json")}).Stop(),
            0);
  EXPECT_EQ(dir.Read("b.json"), dir.Read("a.json"));
}

TEST(ComLink, PlacedInThePortFolderAndRemovedOnSigint) {
  TempDir dir;
  std::string folder = dir.File("ports");
  setenv("MORVEL_PORTS", folder.c_str(), 1);
  SimProcess sim({"--com", "3"});
  unsetenv("MORVEL_PORTS");
  std::string link = folder + "/com3";
  ASSERT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.DevicePath());
  // A second simulator cannot take the same COM number.
  setenv("MORVEL_PORTS", folder.c_str(), 1);
  RunResult second = RunProgram({KESTRIX_SIM_BINARY, "--com", "3"}, {}, std::chrono::seconds(5));
  unsetenv("MORVEL_PORTS");
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_NE(second.output.find("already in use"), std::string::npos) << second.output;
  kill(sim.Pid(), SIGINT);
  EXPECT_EQ(sim.ExitCode(), 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(ComLink, StaleLinkOfAKilledSimulatorIsReplaced) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("ports"));
  std::filesystem::create_symlink("/dev/pts/nonexistent", dir.File("ports/com2"));
  setenv("MORVEL_PORTS", dir.File("ports").c_str(), 1);
  SimProcess sim({"--com", "2"});
  unsetenv("MORVEL_PORTS");
  EXPECT_EQ(std::filesystem::read_symlink(dir.File("ports/com2")).string(), sim.DevicePath());
  EXPECT_EQ(sim.Stop(), 0);
}

TEST(Client, CloseAndReopenKeepsServingWithoutSpinning) {
  SimProcess sim({});
  sim.Command("ATE0");
  sim.CloseClient();
  long before = CpuTicks(sim.Pid());
  // Idle with no client for a while: a hang-up busy loop would burn a whole
  // core here (about 50 ticks); a sleeping device uses next to none.
  usleep(500 * 1000);
  long used = CpuTicks(sim.Pid()) - before;
  EXPECT_LE(used, 10) << "the simulator spins while no client has the device open";
  sim.OpenClient();
  EXPECT_EQ(sim.Command("AT+CGMM"), "\r\nKestrix\r\n\r\nOK\r\n");
  EXPECT_EQ(sim.Stop(), 0);
}

TEST(CommandLog, RecordsEveryLineWithItsExactBytes) {
  TempDir dir;
  {
    SimProcess sim({"--log", dir.File("cmd.log")});
    sim.Command("ATE0");
    sim.Send(std::string("AT+CSQ\r\n", 8));
    sim.ReadUntil("OK\r\n");
    sim.Send(std::string("AT\0\r", 4));
    sim.ReadUntil("OK\r\n");
    sim.Command("AT+CMGW=\"1\"");
    sim.Send("hi\x1A");
    sim.ReadUntil("OK\r\n");
  }
  std::istringstream log(dir.Read("cmd.log"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line.substr(line.find(' ') + 1));
  EXPECT_EQ(lines, (std::vector<std::string>{"ATE0\\r", "AT+CSQ\\r\\n", "AT\\x00\\r",
                                             "AT+CMGW=\"1\"\\r", "hi\\x1A"}));
}

}  // namespace
}  // namespace kestrix::test
