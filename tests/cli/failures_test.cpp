// A write that cannot be done says why, in the window's words or the
// device's, says what it left written and what not, and ends with its exit
// status: a refused store, a device unplugged half way, a port another
// program holds, a port that is not there, a device that stops answering.
#include <sys/stat.h>
#include <unistd.h>

#include "cli_fixture.h"
#include "support/tty_holder.h"

namespace morvel::test {
namespace {

TEST_F(CliTest, EachFailureHasItsExitStatusAndMessage) {
  struct Case {
    const char* name;
    std::vector<std::string> faults;
    enum { kServed, kHeld, kMissing } port;
    int exitCode;
    std::vector<std::string> said;
  };
  const Case cases[] = {
      {"refused store",
       {"--fail", "+CMGW"},
       Case::kServed,
       1,
       {"COM5: The device answered ERROR to AT+CMGW=+43697001\n",
        "COM5: written: MASTER1, MASTER2, MASTER3, MASTER4, MASTER5, MASTER6, MASTER7, MASTER8, "
        "SERVICE; not written: SMS 1, SMS 2, SMS 3, SMS 4, SMS 5, SMS 6; deleted and not stored "
        "again: SMS 1, SMS 2, SMS 3, SMS 4, SMS 5, SMS 6\n",
        "COM5: failed (exit status 1)\n"}},
      {"unplugged mid-write",
       {"--hangup-after", "12"},
       Case::kServed,
       3,
       {"COM5: the Kestrix has gone away: its line hung up\n",
        "COM5: written: MASTER1, MASTER2, MASTER3, MASTER4, MASTER5, MASTER6",
        "SERVICE, SMS 1, SMS 2, SMS 3, SMS 4, SMS 5, SMS 6\n", "COM5: failed (exit status 3)\n"}},
      {"busy port", {}, Case::kHeld, 3, {"COM5: ie_Open - device already open\n"}},
      {"missing port",
       {},
       Case::kMissing,
       3,
       {"COM5: ie_BadId - Specified comport doesn't exist\n"}},
      {"silent device",
       {"--ignore", "+CPBR"},
       Case::kServed,
       4,
       {"COM5: the Kestrix did not answer AT+CPBR=1,100 within 10 seconds\n",
        "COM5: nothing was written\n", "COM5: failed (exit status 4)\n"}},
  };
  files_.Write("site.mvf", MvfBytes(FullConfiguration(7)));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Kestrix device(StateWith({}, {}), c.faults);
    ports_.Link(5, c.port == Case::kMissing ? ports_.Path() + "/unplugged" : device.Device());
    std::unique_ptr<TtyHolder> holder;
    if (c.port == Case::kHeld) holder = std::make_unique<TtyHolder>(device.Device());
    const CliResult write = RunCli({"write", files_.File("site.mvf"), "--port", "COM5", "-q"});
    EXPECT_EQ(write.exitCode, c.exitCode) << write.out << write.err;
    for (const std::string& text : c.said)
      EXPECT_NE(write.out.find(text), std::string::npos) << text << write.out;
  }
}

// Said as the window says it: the device, and what would let this user open
// it. Root opens any device, so it runs the program as nobody.
TEST_F(CliTest, ADeviceThisUserMayNotOpenIsNamed) {
  Kestrix device(StateWith({}, {}));
  ASSERT_EQ(chmod(device.Device().c_str(), 0), 0);
  std::vector<std::string> runner;
  if (geteuid() == 0)
    runner = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  const CliResult status = RunCli({"status", "-p", device.Device()}, runner);
  EXPECT_EQ(status.exitCode, 3) << status.err;
  const std::string port = device.Device() + ": ";
  EXPECT_EQ(status.out, port + "Permission denied to open " + device.Device() +
                            ": its permissions must be changed to let this user read and write "
                            "it.\n" +
                            port + "failed (exit status 3)\n");
}

}  // namespace
}  // namespace morvel::test
