// Line settings, flow control, DTR/RTS and line errors on a real pty.
#include "platform/errors.h"
#include "serial/dispatcher_fixture.h"
#include "serial/result_codes.h"

namespace morvel::test {
namespace {

TEST_F(DispatcherTest, SetLineParamsChangesWhatDiffersAndKeepsTheRest) {
  ASSERT_EQ(Open(), 0);
  DWORD baud;
  BYTE parity, dataBits, stopBits;
  D().GetLineParams(baud, parity, dataBits, stopBits);
  EXPECT_EQ(baud, 19200u);
  EXPECT_EQ(dataBits, 8);
  EXPECT_EQ(stopBits, 1);
  // Nothing differs: returns at once.
  EXPECT_EQ(D().SetLineParams(19200, NOPARITY, 8, 1), 0);
  EXPECT_EQ(D().SetLineParams(0, 5, 9, 3), 0);
  // A new baud with every other value kept.
  ASSERT_EQ(D().SetLineParams(9600, 5, 9, 3), 0);
  D().GetLineParams(baud, parity, dataBits, stopBits);
  EXPECT_EQ(baud, 9600u);
  EXPECT_EQ(parity, NOPARITY);
  EXPECT_EQ(dataBits, 8);
  EXPECT_EQ(D().AppliedBaud, 9600u);
  // Symbolic codes are reported as plain bauds.
  ASSERT_EQ(D().SetLineParams(0xFF18, 5, 9, 3), 0);
  D().GetLineParams(baud, parity, dataBits, stopBits);
  EXPECT_EQ(baud, 19200u);
  // Stop bits beyond 3 mean two.
  ASSERT_EQ(D().SetLineParams(0, 5, 9, 7), 0);
  D().GetLineParams(baud, parity, dataBits, stopBits);
  EXPECT_EQ(stopBits, 2);
}

TEST_F(DispatcherTest, FiveDataBitsTakeOneAndAHalfStopBits) {
  ASSERT_EQ(Open(), 0);
  // A pseudo-terminal may refuse five data bits; what was asked for is
  // what the working copy of the settings holds either way.
  int result = D().SetLineParams(0, 5, 5, 1);
  EXPECT_TRUE(result == 0 || result == -static_cast<int>(ERROR_INVALID_PARAMETER)) << result;
  ser::SectionHold hold(D().DispatcherLock);
  EXPECT_EQ(D().DeviceSettings.StopBits, ONE5STOPBITS);
  EXPECT_EQ(D().DeviceSettings.ByteSize, 5);
}

TEST_F(DispatcherTest, InconsistentFlowLimitsAreRefusedAndChangeNothing) {
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(D().SetHardwareFlow(100, 200, ser::hfUseDTR), ser::ecBadArgument);
  EXPECT_EQ(D().SetHardwareFlow(4097, 100, ser::hfUseDTR), ser::ecBadArgument);
  EXPECT_EQ(D().SetSoftwareFlow(10, 20, ser::sfTransmit | ser::sfReceive), ser::ecBadArgument);
  EXPECT_FALSE(D().DtrAuto);
  DWORD hw, sw;
  char xon, xoff;
  D().GetFlowSettings(hw, sw, xon, xoff);
  EXPECT_EQ(hw, 0u);
  EXPECT_EQ(sw, 0u);
}

// A pty honours XON/XOFF on transmit only; it never sends an XOFF itself.
TEST_F(DispatcherTest, SoftwareFlowSetsTheLimitsAndCharacters) {
  ASSERT_EQ(Open(), 0);
  ASSERT_EQ(D().SetSoftwareFlow(3072, 1024, ser::sfTransmit), 0);
  DWORD hw, sw;
  char xon, xoff;
  D().GetFlowSettings(hw, sw, xon, xoff);
  EXPECT_EQ(sw, ser::sfTransmit);
  EXPECT_EQ(xon, 17);
  EXPECT_EQ(xoff, 19);
  ASSERT_EQ(D().SetFlowChars('A', 'B'), 0);
  D().GetFlowSettings(hw, sw, xon, xoff);
  EXPECT_EQ(xon, 'A');
  EXPECT_EQ(xoff, 'B');
  ASSERT_EQ(D().ClearSoftwareFlow(), 0);
  D().GetFlowSettings(hw, sw, xon, xoff);
  EXPECT_EQ(sw, 0u);
}

// Flow control the device cannot enforce is refused, and DTR and RTS stay
// lines the program drives.
TEST_F(DispatcherTest, RefusedHardwareFlowLeavesTheLinesToTheProgram) {
  ASSERT_EQ(Open(), 0);
  const int notSupported = -static_cast<int>(ERROR_NOT_SUPPORTED);
  EXPECT_EQ(D().SetHardwareFlow(3686, 409, ser::hfUseDTR), notSupported);
  EXPECT_EQ(D().SetHardwareFlow(3686, 409, ser::hfUseRTS | ser::hfRequireCTS), notSupported);
  EXPECT_FALSE(D().DtrAuto);
  EXPECT_FALSE(D().RtsAuto);
  EXPECT_EQ(D().SetDtrState(false), 0);
  EXPECT_FALSE(D().DtrOn);
  EXPECT_EQ(D().SetRtsState(false), 0);
  EXPECT_FALSE(D().RtsOn);
  DWORD hw, sw;
  char xon, xoff;
  D().GetFlowSettings(hw, sw, xon, xoff);
  EXPECT_EQ(hw, 0u);
}

TEST_F(DispatcherTest, LineOpenedWithAutomaticLinesIgnoresManualLevels) {
  ASSERT_EQ(Open(kOutSize, ser::lfDtrAuto | ser::lfRtsAuto), 0);
  EXPECT_EQ(D().SetDtrState(true), 1);
  EXPECT_EQ(D().SetRtsState(true), 1);
}

TEST(DispatcherNoDevice, EscapeFailuresAreReported) {
  ser::TSerWin32Dispatcher d(nullptr);
  EXPECT_EQ(d.SetDtrState(true), ser::ecBadArgument);
  EXPECT_EQ(d.SetRtsState(false), ser::ecBadArgument);
}

TEST(DispatcherNoDevice, LineErrorStateReportsTheFirstErrorAndClearsTheRest) {
  ser::TSerWin32Dispatcher d(nullptr);
  d.LineErrors = ser::leParity | ser::leFrame | ser::leBreak;
  EXPECT_EQ(d.LineErrorState(), 3);
  EXPECT_EQ(d.LineErrors.load(), ser::leBreak);
  EXPECT_EQ(d.LineErrorState(), 9);
  EXPECT_TRUE(d.LineBreakState());
  EXPECT_FALSE(d.LineBreakState());
  EXPECT_EQ(d.LineErrorState(), 0);
}

TEST(DispatcherNoDevice, OpeningAMissingPortFailsWithFileNotFound) {
  PortFolder folder;
  ser::TSerWin32Dispatcher d(nullptr);
  EXPECT_EQ(d.OpenLine("\\\\.\\COM7", 19200, 0, 8, 1, 4096, 2048, 3), ser::ecFileNotFound);
  EXPECT_FALSE(d.ThreadsRunning);
  EXPECT_EQ(d.DeviceHandle.load(), INVALID_HANDLE_VALUE);
}

TEST_F(DispatcherTest, FlowLimitsFollowTheDriverQueueSizeInForce) {
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(D().SetSoftwareFlow(7000, 100, ser::sfTransmit), ser::ecBadArgument);
  ASSERT_EQ(D().SetDriverQueues(8192, kOutSize), 0);
  EXPECT_EQ(D().SetSoftwareFlow(7000, 100, ser::sfTransmit), 0);
}

// Reaches the change-bit refresh that the dispatch thread runs for modem events.
class ModemEventProbe : public ser::TSerWin32Dispatcher {
 public:
  using ser::TSerBaseDispatcher::RefreshModemChanges;
  using TSerWin32Dispatcher::TSerWin32Dispatcher;
};

TEST_F(DispatcherTest, ModemEventsMarkTheirLinesChangedThoughTheLevelIsBackAlready) {
  ModemEventProbe probe(nullptr);
  ASSERT_EQ(probe.OpenLine("\\\\.\\COM1", 19200, NOPARITY, 8, 1, 4096, kOutSize,
                           ser::lfDtrOn | ser::lfRtsOn),
            0);
  probe.RefreshModemChanges(0);
  EXPECT_EQ(probe.ReadModemStatus(0xF0) & 0x0F, 0);
  probe.RefreshModemChanges(EV_CTS | EV_RLSD);
  EXPECT_EQ(probe.ReadModemStatus(0xF0) & 0x0F, 0x09);
  probe.RefreshModemChanges(EV_DSR);
  EXPECT_EQ(probe.ReadModemStatus(0xF0) & 0x0F, 0x02);
  probe.CloseLine();
}

}  // namespace
}  // namespace morvel::test
