// Independent AT clients against the simulator: gammu and gsmlib's tools
// must identify it, read what it was given, and change it; the saved state
// shows their changes. Every client run is killed after a time limit.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "sim_process.h"

namespace kestrix::test {
namespace {

const std::string kSample = std::string(KESTRIX_SOURCE_DIR) + "/sample-state.json";

class Client : public ::testing::Test {
 protected:
  explicit Client(std::vector<std::string> flags = {}) : sim_(Flags(std::move(flags)), false) {}
  std::vector<std::string> Flags(std::vector<std::string> more) {
    std::vector<std::string> flags = {"--state",      kSample,
                                      "--save-state", dir_.File("saved.json"),
                                      "--log",        dir_.File("commands.log")};
    flags.insert(flags.end(), more.begin(), more.end());
    return flags;
  }
  nlohmann::json SavedState() {
    EXPECT_EQ(sim_.Stop(), 0);
    return nlohmann::json::parse(dir_.Read("saved.json"));
  }
  // The phonebook texts by location, or message numbers and texts by index.
  static std::map<int, std::string> Entries(const nlohmann::json& store, const char* field) {
    std::map<int, std::string> out;
    for (const auto& e : store["entries"]) out[e["index"]] = e[field];
    return out;
  }
  std::string Log() { return dir_.Read("commands.log"); }

  TempDir dir_;
  SimProcess sim_;
};

class Gammu : public Client {
 protected:
  explicit Gammu(std::vector<std::string> flags = {}) : Client(std::move(flags)) {}
  void SetUp() override {
    ASSERT_FALSE(sim_.DevicePath().empty()) << sim_.Stderr();
    dir_.Write("gammurc", "[gammu]\ndevice = " + sim_.DevicePath() + "\nconnection = at19200\n");
  }
  RunResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"gammu", "-c", dir_.File("gammurc")});
    return RunProgram(args, {"HOME=" + dir_.Path()});
  }
};

TEST_F(Gammu, IdentifiesTheDevice) {
  RunResult r = Run({"identify"});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("Manufacturer         : Morvel"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Kestrix"), std::string::npos);
  EXPECT_NE(r.output.find("IMEI                 : 356938035643809"), std::string::npos);
  EXPECT_NE(r.output.find("SIM IMSI             : 232010000000001"), std::string::npos);
}

TEST_F(Gammu, ReadsThePhonebookAndMessagesItWasGiven) {
  RunResult book = Run({"getallmemory", "SM"});
  ASSERT_EQ(book.exitCode, 0) << book.output;
  for (const char* text : {"\"+436641234567\"", "\"MASTER1\"", "\"06641112223\"", "\"SERVICE\""})
    EXPECT_NE(book.output.find(text), std::string::npos) << text << "\n" << book.output;
  // gammu reads messages in PDU mode: this checks the PDUs the device builds.
  RunResult sms = Run({"getallsms"});
  ASSERT_EQ(sms.exitCode, 0) << sms.output;
  EXPECT_NE(sms.output.find("CREDIT?"), std::string::npos) << sms.output;
  EXPECT_NE(sms.output.find("Your credit is 10 EUR"), std::string::npos);
  EXPECT_NE(sms.output.find("SMSC number          : \"+436640501\""), std::string::npos);
  EXPECT_NE(sms.output.find("3 SMS parts in 3 SMS sequences"), std::string::npos);
}

TEST_F(Gammu, ReadsRegistrationOperatorAndSignal) {
  RunResult info = Run({"networkinfo"});
  ASSERT_EQ(info.exitCode, 0) << info.output;
  EXPECT_NE(info.output.find("Network state        : home network"), std::string::npos);
  EXPECT_NE(info.output.find("LAC 1A2B, CID 00C3"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("Name in phone        : \"Kestrix Net\""), std::string::npos);
  RunResult monitor = Run({"monitor", "1"});
  ASSERT_EQ(monitor.exitCode, 0) << monitor.output;
  EXPECT_NE(monitor.output.find("Signal strength      : -71 dBm"), std::string::npos)
      << monitor.output;  // rssi 21
}

TEST_F(Gammu, WritesAndDeletesEntriesAndMessages) {
  EXPECT_EQ(Run({"deletememory", "SM", "2"}).exitCode, 0);
  dir_.Write("new.vcf", "BEGIN:VCARD\r\nVERSION:2.1\r\nN:GAMMU\r\nTEL:+43111222\r\nEND:VCARD\r\n");
  RunResult added = Run({"addnew", dir_.File("new.vcf"), "-yes", "-memory", "SM"});
  EXPECT_NE(added.exitCode, -1) << added.output;
  RunResult saved =
      Run({"savesms", "TEXT", "-folder", "2", "-unsent", "-sender", "+43999", "-text", "hi gammu"});
  EXPECT_EQ(saved.exitCode, 0) << saved.output;
  EXPECT_EQ(Run({"deletesms", "1", "7"}).exitCode, 0);
  nlohmann::json state = SavedState();
  EXPECT_EQ(Entries(state["phonebook"], "text"),
            (std::map<int, std::string>{{1, "MASTER1"}, {2, "GAMMU"}, {3, "SERVICE"}, {4, "IO"}}));
  EXPECT_EQ(Entries(state["messages"], "text"),
            (std::map<int, std::string>{{1, "CREDIT?"}, {2, "Input 1 on"}, {3, "hi gammu"}}));
  EXPECT_EQ(Entries(state["messages"], "number")[3], "+43999");
}

// A device as real ones are: PDU mode at start, numeric errors, roaming
// with registration reports on, a 50-location phonebook and a slow SIM.
class GammuOnAModemOfItsOwn : public Gammu {
 protected:
  GammuOnAModemOfItsOwn()
      : Gammu({"--pdu-at-start", "--cmee", "1", "--registration", "roaming", "--creg-reports", "2",
               "--phonebook-size", "50", "--sim-write-ms", "300"}) {}
};

TEST_F(GammuOnAModemOfItsOwn, ReadsAndWritesItAll) {
  RunResult book = Run({"getallmemory", "SM"});
  ASSERT_EQ(book.exitCode, 0) << book.output;
  for (const char* text : {"\"MASTER1\"", "\"MASTER2\"", "\"SERVICE\"", "\"IO\""})
    EXPECT_NE(book.output.find(text), std::string::npos) << text << "\n" << book.output;
  RunResult info = Run({"networkinfo"});
  ASSERT_EQ(info.exitCode, 0) << info.output;
  EXPECT_NE(info.output.find("Network state        : roaming network"), std::string::npos)
      << info.output;
  EXPECT_EQ(Run({"deletememory", "SM", "2"}).exitCode, 0);
  RunResult saved =
      Run({"savesms", "TEXT", "-folder", "2", "-unsent", "-sender", "+43999", "-text", "slow SIM"});
  EXPECT_EQ(saved.exitCode, 0) << saved.output;
  EXPECT_EQ(Run({"deletesms", "1", "7"}).exitCode, 0);
  RunResult sms = Run({"getallsms"});
  ASSERT_EQ(sms.exitCode, 0) << sms.output;
  EXPECT_NE(sms.output.find("slow SIM"), std::string::npos) << sms.output;
  nlohmann::json state = SavedState();
  EXPECT_EQ(Entries(state["phonebook"], "text"),
            (std::map<int, std::string>{{1, "MASTER1"}, {3, "SERVICE"}, {4, "IO"}}));
  EXPECT_EQ(Entries(state["messages"], "text"),
            (std::map<int, std::string>{{1, "CREDIT?"}, {2, "Input 1 on"}, {3, "slow SIM"}}));
}

class Gsmlib : public Client {
 protected:
  void SetUp() override { ASSERT_FALSE(sim_.DevicePath().empty()) << sim_.Stderr(); }
  // gsmlib sets DTR, which a pty refuses: the preload helper lets it.
  RunResult Run(std::vector<std::string> args) {
    return RunProgram(args, {std::string("LD_PRELOAD=") + KESTRIX_DTR_PRELOAD});
  }
  std::vector<std::string> Device(std::vector<std::string> args, const char* flag = "-d") {
    args.insert(args.begin() + 1, {"-b", "19200", flag, sim_.DevicePath()});
    return args;
  }
};

TEST_F(Gsmlib, IdentityOperatorAndSignal) {
  RunResult me = Run(Device({"gsmctl", "ME"}));
  ASSERT_EQ(me.exitCode, 0) << me.output;
  EXPECT_NE(me.output.find("<ME0>  Manufacturer: Morvel"), std::string::npos) << me.output;
  EXPECT_NE(me.output.find("<ME3>  Serial Number: 356938035643809"), std::string::npos);
  RunResult op = Run(Device({"gsmctl", "CURROP"}));
  ASSERT_EQ(op.exitCode, 0) << op.output;
  EXPECT_NE(op.output.find("Long name: 'Kestrix Net'"), std::string::npos) << op.output;
  EXPECT_NE(op.output.find("Numeric name: 23201"), std::string::npos);
  RunResult sig = Run(Device({"gsmctl", "SIG"}));
  ASSERT_EQ(sig.exitCode, 0) << sig.output;
  EXPECT_NE(sig.output.find("<SIG0>  21"), std::string::npos) << sig.output;
  // gsmlib has no registration query of its own; its operator query reads
  // the registration mode, and gammu checks the registration state above.
  EXPECT_NE(op.output.find("Mode: automatic"), std::string::npos);
}

TEST_F(Gsmlib, PhonebookReadWriteAndDelete) {
  RunResult read = Run(Device({"gsmpb", "-p", "SM", "-d", dir_.File("book.txt")}, "-s"));
  ASSERT_EQ(read.exitCode, 0) << read.output;
  EXPECT_EQ(dir_.Read("book.txt"),
            "|IO|+43664555\n|MASTER1|+436641234567\n|MASTER2|+436649876543\n"
            "|SERVICE|06641112223\n");
  // Synchronising adds what the device lacks and removes what the file lacks.
  dir_.Write("sync.txt",
             "|MASTER1|+436641234567\n|SERVICE|06641112223\n|IO|+43664555\n|GSMLIB|+43777\n");
  RunResult sync = Run(Device({"gsmpb", "-p", "SM", "-y", "-s", dir_.File("sync.txt")}));
  // gsmpb itself may crash after a deletion, whatever the device answers, so
  // its exit code is not checked; the device side is.
  EXPECT_NE(sync.exitCode, -1) << "gsmpb hung";
  EXPECT_NE(Log().find("AT+CPBW=2"), std::string::npos) << Log();
  nlohmann::json state = SavedState();
  std::map<int, std::string> texts = Entries(state["phonebook"], "text");
  std::set<std::string> names;
  for (const auto& [location, text] : texts) names.insert(text);
  EXPECT_FALSE(names.contains("MASTER2"));
  EXPECT_TRUE(names.contains("GSMLIB")) << state["phonebook"].dump();
  EXPECT_TRUE(names.contains("MASTER1"));
}

TEST_F(Gsmlib, MessageStoreListAddAndDelete) {
  RunResult list = Run(Device({"gsmsmsstore", "-t", "SM", "-l"}, "-s"));
  ASSERT_EQ(list.exitCode, 0) << list.output;
  EXPECT_NE(list.output.find("User data: 'CREDIT?'"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("User data: 'Your credit is 10 EUR'"), std::string::npos);
  EXPECT_NE(list.output.find("Message type: SMS-DELIVER"), std::string::npos);
  RunResult add = Run(Device({"gsmsmsstore", "-t", "SM", "-a", "+43888", "from gsmlib"}));
  EXPECT_EQ(add.exitCode, 0) << add.output;
  // gsmsmsstore counts from 0 in the order of the store: 1 is SIM index 2.
  RunResult del = Run(Device({"gsmsmsstore", "-t", "SM", "-x", "1"}));
  EXPECT_EQ(del.exitCode, 0) << del.output;
  nlohmann::json state = SavedState();
  EXPECT_EQ(Entries(state["messages"], "text"),
            (std::map<int, std::string>{
                {1, "CREDIT?"}, {3, "from gsmlib"}, {7, "Your credit is 10 EUR"}}));
}

}  // namespace
}  // namespace kestrix::test
