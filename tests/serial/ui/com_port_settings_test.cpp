// The port component's properties on a closed port: defaults, clamps, the
// flow-control thresholds, RS-485, the ignored writes, copying, loading.
#include <gtest/gtest.h>

#include "serial/exceptions.h"
#include "serial/ui/port_test_support.h"

namespace morvel::test {
namespace {

TEST(ComPortSettings, StartsWithTheLayoutDefaultsAndOpensNothing) {
  TestPort port(nullptr);
  EXPECT_EQ(port.Version(), "v4.06");
  port.SetVersion("v9");
  EXPECT_EQ(port.Version(), "v4.06");
  EXPECT_EQ(port.ComNumber(), 0);
  EXPECT_EQ(port.Baud(), 19200);
  EXPECT_EQ(port.Parity(), pNone);
  EXPECT_EQ(port.DataBits(), 8);
  EXPECT_EQ(port.StopBits(), 1);
  EXPECT_EQ(port.InSize(), 4096);
  EXPECT_EQ(port.OutSize(), 4096);
  EXPECT_TRUE(port.AutoOpen());
  EXPECT_TRUE(port.PromptForPort());
  EXPECT_FALSE(port.Open());
  EXPECT_TRUE(port.DTR());
  EXPECT_TRUE(port.RTS());
  EXPECT_EQ(port.HWFlowOptions(), THWFlowOptionSet());
  EXPECT_EQ(port.SWFlowOptions(), swfNone);
  EXPECT_EQ(port.XOnChar(), 17);
  EXPECT_EQ(port.XOffChar(), 19);
  EXPECT_EQ(port.BufferFull(), 0);
  EXPECT_EQ(port.BufferResume(), 0);
  EXPECT_EQ(port.Tracing(), tlOff);
  EXPECT_EQ(port.TraceSize(), 10000u);
  EXPECT_EQ(port.TraceName(), "SERIAL.TRC");
  EXPECT_EQ(port.LogName(), "SERIAL.LOG");
  EXPECT_EQ(port.LogSize(), 10000u);
  EXPECT_EQ(port.CommNotificationLevel(), 10);
  EXPECT_EQ(port.TapiMode(), tmAuto);
  EXPECT_EQ(port.AvailThreshold(), 1);
  EXPECT_EQ(port.OpenState, osClosed);
  EXPECT_EQ(port.ActiveDispatcher, nullptr);
  EXPECT_EQ(port.NotifyWindow, nullptr);
}

TEST(ComPortSettings, TraceAndLogSizesAreClamped) {
  TestPort port(nullptr);
  port.SetTraceSize(5000000);
  EXPECT_EQ(port.TraceSize(), 4000000u);
  port.SetLogSize(20000000);
  EXPECT_EQ(port.LogSize(), 16000000u);
  port.SetTraceSize(4000000);
  port.SetLogSize(123);
  EXPECT_EQ(port.TraceSize(), 4000000u);
  EXPECT_EQ(port.LogSize(), 123u);
}

TEST(ComPortSettings, ClosedPortKeepsOnlyOffAndOnForTracingAndLogging) {
  TestPort port(nullptr);
  port.SetTracing(tlPause);
  EXPECT_EQ(port.Tracing(), tlOff);
  port.SetTracing(tlDump);
  EXPECT_EQ(port.Tracing(), tlOff);
  port.SetTracing(tlOn);
  EXPECT_EQ(port.Tracing(), tlOn);
  port.SetTracing(tlClear);
  EXPECT_EQ(port.Tracing(), tlOff);
  port.SetLogging(tlAppend);
  EXPECT_EQ(port.Logging(), tlOff);
  port.SetLogging(tlOn);
  port.SetLogging(tlPause);
  EXPECT_EQ(port.Logging(), tlOff);
}

TEST(ComPortSettings, BufferFullAboveTheQueueIsCutAndFlowOptionsFitIt) {
  TestPort plain(nullptr);
  plain.SetBufferFull(5000);
  EXPECT_EQ(plain.BufferFull(), 4500);

  TestPort hardware(nullptr);
  hardware.SetHWFlowOptions({hwfRequireCTS});
  EXPECT_EQ(hardware.BufferFull(), 3686);
  EXPECT_EQ(hardware.BufferResume(), 409);
  hardware.SetBufferFull(5000);
  EXPECT_EQ(hardware.BufferFull(), 3686);
  hardware.SetBufferResume(4000);
  EXPECT_EQ(hardware.BufferResume(), 368);

  TestPort software(nullptr);
  software.SetSWFlowOptions(swfBoth);
  EXPECT_EQ(software.BufferFull(), 3072);
  EXPECT_EQ(software.BufferResume(), 1024);
  // Thresholds that already fit are kept.
  software.SetBufferFull(2000);
  software.SetBufferResume(100);
  software.SetHWFlowOptions({hwfUseDTR});
  EXPECT_EQ(software.BufferFull(), 2000);
  EXPECT_EQ(software.BufferResume(), 100);
}

TEST(ComPortSettings, RS485ModeExcludesRtsHandshakeBothWays) {
  TestPort port(nullptr);
  port.SetHWFlowOptions({hwfUseDTR, hwfUseRTS, hwfRequireCTS});
  port.SetRS485Mode(true);
  EXPECT_EQ(port.HWFlowOptions(), THWFlowOptionSet({hwfUseDTR}));
  EXPECT_FALSE(port.RTS());
  EXPECT_TRUE(port.RS485Mode());
  port.SetHWFlowOptions({hwfRequireCTS});
  EXPECT_FALSE(port.RS485Mode());
}

TEST(ComPortSettings, IgnoresOtherDeviceLayersAndTheShadowSwitch) {
  TestPort port(nullptr);
  port.SetDeviceLayer(dlWinsock);
  EXPECT_EQ(port.DeviceLayer(), dlWin32);
  port.SetUseMSRShadow(false);
  EXPECT_TRUE(port.UseMSRShadow());
}

TEST(ComPortSettings, NameTextsAreShortStrings) {
  TestPort port(nullptr);
  port.SetTraceName(std::string(300, 't'));
  port.SetLogName(std::string(256, 'l'));
  EXPECT_EQ(port.TraceName().size(), 255u);
  EXPECT_EQ(port.LogName().size(), 255u);
}

TEST(ComPortSettings, AssignCopiesAnotherPortOnly) {
  TestPort source(nullptr);
  source.SetComNumber(7);
  source.SetBaud(9600);
  source.SetParity(pEven);
  source.SetHWFlowOptions({hwfUseDTR});
  source.SetTracing(tlOn);
  source.SetTraceName("copy.trc");
  source.SetAvailThreshold(4);
  int avails = 0;
  int opens = 0;
  source.SetOnTriggerAvail([&](TComponent*, WORD) { ++avails; });
  source.SetOnPortOpen([&](TComponent*) { ++opens; });

  TestPort target(nullptr);
  target.Assign(&source);
  EXPECT_EQ(target.ComNumber(), 7);
  EXPECT_EQ(target.Baud(), 9600);
  EXPECT_EQ(target.Parity(), pEven);
  EXPECT_EQ(target.HWFlowOptions(), THWFlowOptionSet({hwfUseDTR}));
  EXPECT_EQ(target.BufferFull(), source.BufferFull());
  EXPECT_EQ(target.Tracing(), tlOn);
  EXPECT_EQ(target.TraceName(), "copy.trc");
  EXPECT_EQ(target.AvailThreshold(), 4);
  EXPECT_FALSE(target.Open());
  ASSERT_TRUE(target.OnTriggerAvail());
  target.OnTriggerAvail()(&target, 1);
  ASSERT_TRUE(target.OnPortOpen());
  target.OnPortOpen()(&target);
  EXPECT_EQ(avails, 1);
  EXPECT_EQ(opens, 1);
  EXPECT_FALSE(target.TriggersSaved);

  TComponent other(nullptr);
  TestPort untouched(nullptr);
  untouched.Assign(&other);
  EXPECT_EQ(untouched.Baud(), 19200);
}

TEST(ComPortSettings, WithoutPromptOrAutoOpenTheFirstWriteFailsClearly) {
  TestPort noPrompt(nullptr);
  noPrompt.SetPromptForPort(false);
  try {
    noPrompt.WriteText("ATE\r\n");
    FAIL() << "no exception";
  } catch (const ser::ENoPortSelected& error) {
    EXPECT_EQ(error.ResultCode, -2011);
    EXPECT_STREQ(error.what(), "The ComNumber property of the TSerComPort has not been set");
  }
  EXPECT_EQ(noPrompt.OpenState, osClosed);
  EXPECT_EQ(noPrompt.ActiveDispatcher, nullptr);

  TestPort manual(nullptr);
  manual.SetAutoOpen(false);
  EXPECT_THROW(manual.WriteText("AT"), ser::ECommNotOpen);
  EXPECT_THROW(manual.TakeChar(), ser::ECommNotOpen);
  EXPECT_EQ(manual.LineErrorValue(), 0);
  EXPECT_FALSE(manual.LineBreakValue());
}

TEST(ComPortSettings, TheWaitCharEventGetsTheCharacter) {
  class WaitingPort : public TSerComPort {
   public:
    using TSerComPort::TSerComPort;
    using TSerCustomComPort::DoWaitChar;
  } port(nullptr);
  port.DoWaitChar('x');  // no handler: nothing happens
  std::string seen;
  port.SetOnWaitChar([&](TComponent* cp, char c) {
    EXPECT_EQ(cp, &port);
    seen += c;
  });
  port.DoWaitChar('>');
  EXPECT_EQ(seen, ">");
}

TEST(ComPortSettings, WhileLoadingWritesOnlyStoreAndNothingOpensOrRaises) {
  TComponent form(nullptr);
  auto* port = new TestPort(&form);
  form.BeginLoading();
  ASSERT_TRUE(port->Loading());
  port->SetOpen(true);
  EXPECT_TRUE(port->Open());
  EXPECT_EQ(port->OpenState, osClosed);
  // No dialog, no exception, no dispatcher: the port is not being used yet.
  port->WriteText("ATE\r\n");
  EXPECT_EQ(port->TakeChar(), 0);
  EXPECT_EQ(port->ActiveDispatcher, nullptr);
  EXPECT_EQ(port->OpenState, osClosed);
}

}  // namespace
}  // namespace morvel::test
