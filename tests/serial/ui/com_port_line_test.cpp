// The open port over a real pseudo-terminal: writing and taking characters,
// events through the hidden window, the trace and log states, moving to
// another port, and closes asked for from inside an event handler.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "serial/exceptions.h"
#include "serial/result_codes.h"
#include "serial/ui/port_test_support.h"
#include "support/pty_pair.h"

namespace morvel::test {
namespace {

namespace fs = std::filesystem;

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ComPortLine : public testing::Test {
 protected:
  ComPortLine() {
    HideMachinePorts(folder_);
    folder_.Link(3, pty_.SlavePath());
    files_ = folder_.Path();
    port_ = std::make_unique<TestPort>(nullptr);
    port_->SetComNumber(3);
    port_->SetTraceName((files_ / "SERIAL.TRC").string());
    port_->SetLogName((files_ / "SERIAL.LOG").string());
  }

  void OpenPort() {
    port_->SetOpen(true);
    ASSERT_EQ(port_->OpenState, osOpen);
  }

  PortFolder folder_;
  PtyPair pty_;
  fs::path files_;
  ReportRecorder reports_;
  std::unique_ptr<TestPort> port_;
};

TEST_F(ComPortLine, EventsArriveOnThisThreadAndTakeCharReadsThem) {
  std::string received;
  std::vector<WORD> counts;
  port_->SetOnTriggerAvail([&](TComponent* cp, WORD count) {
    EXPECT_EQ(cp, port_.get());
    counts.push_back(count);
    for (WORD i = 0; i < count; ++i) received += port_->TakeChar();
  });
  OpenPort();
  pty_.Write("OK\r\n");
  ASSERT_TRUE(PumpUntil([&] { return received.size() >= 4; }));
  EXPECT_EQ(received, "OK\r\n");
  ASSERT_FALSE(counts.empty());
  // Everything the handler read is gone: nothing is left to take.
  try {
    port_->TakeChar();
    FAIL() << "no exception";
  } catch (const ser::EBufferIsEmpty& error) {
    EXPECT_EQ(error.ResultCode, -3007);
    EXPECT_STREQ(error.what(), "Buffer is empty");
  }
}

TEST_F(ComPortLine, AHandlerPastTheDeliveryTimeOutLeavesEveryAnnouncedCharacterTakeable) {
  std::string received;
  std::vector<WORD> counts;
  port_->SetOnTriggerAvail([&](TComponent*, WORD count) {
    counts.push_back(count);
    WORD now = counts.size() == 1 ? 1 : count;
    for (WORD i = 0; i < now; ++i) received += port_->TakeChar();
    if (counts.size() > 1) return;
    // More arrives while this handler outlasts the delivery time-out; it
    // goes on once the dispatch thread has given up and announced again.
    pty_.Write("4567");
    ASSERT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 15000, QS_ALLINPUT), WAIT_OBJECT_0);
    for (WORD i = 1; i < count; ++i) received += port_->TakeChar();
  });
  OpenPort();
  pty_.Write("123");
  ASSERT_TRUE(PumpUntil([&] { return counts.size() == 2; }, [] {}, std::chrono::seconds(20)));
  EXPECT_EQ(received, "1234567");
  EXPECT_EQ(counts, (std::vector<WORD>{3, 4}));
  EXPECT_TRUE(reports_.Reports().empty());
  EXPECT_EQ(port_->ActiveDispatcher->InputCount(), 0u);
}

TEST_F(ComPortLine, EmptyTextWritesNothingAndTextGoesOutWhole) {
  OpenPort();
  port_->WriteText("");
  port_->WriteText("AT+CSQ\r\n");
  EXPECT_EQ(pty_.ReadExactly(8), "AT+CSQ\r\n");
  EXPECT_EQ(pty_.ReadAvailable(), "");
}

TEST_F(ComPortLine, TextLargerThanTheOutputSpaceIsRefusedWhole) {
  port_->SetOutSize(16);
  OpenPort();
  EXPECT_THROW(port_->WriteText(std::string(17, 'x')), ser::EOutputBufferTooSmall);
  port_->WriteText("fits");
  EXPECT_EQ(pty_.ReadExactly(4), "fits");
}

TEST_F(ComPortLine, WritingTheCurrentNumberKeepsThePortOpen) {
  int closes = 0;
  port_->SetOnPortClose([&](TComponent*) { ++closes; });
  OpenPort();
  ser::TSerBaseDispatcher* dispatcher = port_->ActiveDispatcher.get();
  port_->SetComNumber(3);
  EXPECT_EQ(closes, 0);
  EXPECT_EQ(port_->ActiveDispatcher.get(), dispatcher);
  EXPECT_EQ(port_->OpenState, osOpen);
  port_.reset();  // its close handler uses this test's locals
  EXPECT_EQ(closes, 1);
}

TEST_F(ComPortLine, ANewNumberReopensWithTriggersAndTracingCarried) {
  PtyPair second;
  folder_.Link(4, second.SlavePath());
  std::vector<std::string> events;
  port_->SetOnPortClose([&](TComponent*) { events.push_back("close"); });
  port_->SetOnPortOpen([&](TComponent*) { events.push_back("open"); });
  OpenPort();
  port_->SetTracing(tlOn);
  port_->SetAvailThreshold(3);
  ASSERT_GT(port_->ActiveDispatcher->AddTimerTrigger(1000), 0);
  port_->WriteText("first");
  ASSERT_EQ(pty_.ReadExactly(5), "first");
  events.clear();

  port_->SetComNumber(4);

  EXPECT_EQ(events, (std::vector<std::string>{"close", "open"}));
  EXPECT_EQ(port_->ComNumber(), 4);
  ASSERT_EQ(port_->OpenState, osOpen);
  ser::TSerBaseDispatcher& dispatcher = *port_->ActiveDispatcher;
  EXPECT_EQ(dispatcher.DeviceName, "COM4");
  EXPECT_EQ(dispatcher.TimerTriggerList.size(), 1u);
  EXPECT_EQ(dispatcher.AvailThreshold, 3u);
  EXPECT_EQ(port_->Tracing(), tlOn);
  EXPECT_TRUE(dispatcher.Trace.TraceOn());
  // The first port's trace was written when it closed.
  EXPECT_NE(FileText(files_ / "SERIAL.TRC").find("first"), std::string::npos);
  port_->WriteText("second");
  EXPECT_EQ(second.ReadExactly(6), "second");
  port_.reset();  // its close handler uses this test's locals
}

TEST_F(ComPortLine, AssignFromAnOpenPortCarriesItsTriggersToTheNextOpen) {
  PtyPair second;
  folder_.Link(4, second.SlavePath());
  OpenPort();
  ASSERT_GT(port_->ActiveDispatcher->AddTimerTrigger(1000), 0);
  TestPort copy(nullptr);
  copy.Assign(port_.get());
  EXPECT_TRUE(copy.TriggersSaved);
  EXPECT_EQ(port_->OpenState, osOpen);
  copy.SetComNumber(4);
  copy.SetOpen(true);
  ASSERT_EQ(copy.OpenState, osOpen);
  EXPECT_FALSE(copy.TriggersSaved);
  EXPECT_EQ(copy.ActiveDispatcher->TimerTriggerList.size(), 1u);
}

TEST_F(ComPortLine, TracingStatesOnAnOpenPort) {
  OpenPort();
  ser::TSerTrace& trace = port_->ActiveDispatcher->Trace;
  port_->SetTracing(tlDump);  // nothing running: nothing happens
  EXPECT_EQ(port_->Tracing(), tlOff);
  EXPECT_FALSE(fs::exists(files_ / "SERIAL.TRC"));

  port_->SetTracing(tlOn);
  EXPECT_TRUE(trace.TraceOn());
  port_->SetTracing(tlPause);
  EXPECT_EQ(port_->Tracing(), tlPause);
  EXPECT_FALSE(trace.TraceOn());
  EXPECT_TRUE(trace.HasStore());
  port_->SetTracing(tlOn);
  EXPECT_TRUE(trace.TraceOn());
  port_->WriteText("cleared");
  port_->SetTracing(tlClear);
  EXPECT_EQ(port_->Tracing(), tlOn);
  port_->WriteText("kept");
  port_->SetTracing(tlDump);
  EXPECT_EQ(port_->Tracing(), tlOff);
  EXPECT_FALSE(trace.HasStore());
  std::string text = FileText(files_ / "SERIAL.TRC");
  EXPECT_NE(text.find("kept"), std::string::npos) << text;
  EXPECT_EQ(text.find("cleared"), std::string::npos) << text;

  port_->SetTracing(tlOn);
  port_->WriteText("more");
  port_->SetTracing(tlAppend);
  text = FileText(files_ / "SERIAL.TRC");
  EXPECT_NE(text.find("kept"), std::string::npos) << text;
  EXPECT_NE(text.find("more"), std::string::npos) << text;

  port_->SetTracing(tlOn);
  port_->SetTracing(tlOff);
  EXPECT_FALSE(trace.HasStore());
  EXPECT_EQ(port_->Tracing(), tlOff);
}

TEST_F(ComPortLine, LoggingStatesOnAnOpenPort) {
  OpenPort();
  ser::TSerDispatchLog& log = port_->ActiveDispatcher->Log;
  port_->SetLogging(tlOn);
  EXPECT_TRUE(log.LogOn());
  port_->SetLogging(tlPause);
  EXPECT_FALSE(log.LogOn());
  EXPECT_EQ(port_->Logging(), tlPause);
  port_->SetLogging(tlPause);
  port_->SetLogging(tlOn);
  EXPECT_TRUE(log.LogOn());
  port_->WriteText("logged");
  port_->SetLogging(tlDump);
  EXPECT_EQ(port_->Logging(), tlOff);
  EXPECT_FALSE(log.HasLog());
  EXPECT_NE(FileText(files_ / "SERIAL.LOG").find("WriteCom"), std::string::npos);
}

TEST_F(ComPortLine, LoggingOnAfterAFailedDumpRecordsAgain) {
  port_->SetLogName((files_ / "missing-folder" / "SERIAL.LOG").string());
  OpenPort();
  ser::TSerDispatchLog& log = port_->ActiveDispatcher->Log;
  port_->SetLogging(tlOn);
  port_->WriteText("first");
  EXPECT_THROW(port_->SetLogging(tlDump), ser::EInOutError);
  EXPECT_EQ(port_->Logging(), tlOff);
  EXPECT_TRUE(log.HasLog());
  EXPECT_FALSE(log.LogOn());

  port_->SetLogName((files_ / "SERIAL.LOG").string());
  port_->SetLogging(tlOn);
  EXPECT_TRUE(log.LogOn());
  port_->WriteText("again");
  port_->SetLogging(tlDump);
  std::string text = FileText(files_ / "SERIAL.LOG");
  EXPECT_NE(text.find("again"), std::string::npos) << text;
  EXPECT_EQ(text.find("first"), std::string::npos) << text;
}

TEST_F(ComPortLine, AKeptLogIsWrittenOnceTheNameIsMended) {
  port_->SetLogName((files_ / "missing-folder" / "SERIAL.LOG").string());
  OpenPort();
  port_->SetLogging(tlOn);
  port_->WriteText("first");
  EXPECT_THROW(port_->SetLogging(tlDump), ser::EInOutError);
  ASSERT_EQ(port_->Logging(), tlOff);

  port_->SetLogName((files_ / "SERIAL.LOG").string());
  port_->SetLogging(tlDump);
  EXPECT_FALSE(port_->ActiveDispatcher->Log.HasLog());
  EXPECT_EQ(port_->Logging(), tlOff);
  std::string text = FileText(files_ / "SERIAL.LOG");
  EXPECT_NE(text.find("first"), std::string::npos) << text;
}

TEST_F(ComPortLine, UnwritableRecordingsSayRefusedOrDiskFull) {
  struct Case {
    TTraceLogState (TSerCustomComPort::*state)() const;
    void (TSerCustomComPort::*setState)(TTraceLogState);
    void (TSerCustomComPort::*setName)(const std::string&);
    std::string name;
    std::string message;
    int errorCode;
  };
  const Case kCases[] = {
      {&TSerCustomComPort::Tracing, &TSerCustomComPort::SetTracing,
       &TSerCustomComPort::SetTraceName, "/dev/full", "Disk is full", 101},
      {&TSerCustomComPort::Logging, &TSerCustomComPort::SetLogging, &TSerCustomComPort::SetLogName,
       "/dev/full", "Disk is full", 101},
      {&TSerCustomComPort::Tracing, &TSerCustomComPort::SetTracing,
       &TSerCustomComPort::SetTraceName, files_.string(), "File access denied", 5},
      {&TSerCustomComPort::Logging, &TSerCustomComPort::SetLogging, &TSerCustomComPort::SetLogName,
       files_.string(), "File access denied", 5},
  };
  OpenPort();
  for (const Case& c : kCases) {
    (port_.get()->*c.setName)(c.name);
    (port_.get()->*c.setState)(tlOn);
    port_->WriteText("recorded");
    try {
      (port_.get()->*c.setState)(tlDump);
      ADD_FAILURE() << c.name << ": nothing raised";
    } catch (const ser::EInOutError& error) {
      EXPECT_EQ(error.Message(), c.message) << c.name;
      EXPECT_EQ(error.ErrorCode, c.errorCode) << c.name;
    }
    EXPECT_EQ((port_.get()->*c.state)(), tlOff);
  }
  port_->SetLogName((files_ / "SERIAL.LOG").string());  // the kept log goes at the close
}

TEST_F(ComPortLine, ARefusedModemLineKeepsItsValueAndRaisesNothing) {
  OpenPort();
  pty_.CloseMaster();  // a hung-up line refuses the escapes
  ASSERT_EQ(port_->ActiveDispatcher->SetDtrState(false), ser::ecBadArgument);
  port_->SetDTR(false);
  port_->SetRTS(false);
  EXPECT_TRUE(port_->DTR());
  EXPECT_TRUE(port_->RTS());
  EXPECT_TRUE(reports_.Reports().empty());
}

TEST_F(ComPortLine, ResizingAPausedTraceDropsIt) {
  OpenPort();
  port_->SetTracing(tlOn);
  port_->SetTraceSize(500);
  EXPECT_EQ(port_->Tracing(), tlOn);
  EXPECT_TRUE(port_->ActiveDispatcher->Trace.TraceOn());
  port_->SetTracing(tlPause);
  port_->SetTraceSize(600);
  EXPECT_EQ(port_->Tracing(), tlOff);
  EXPECT_FALSE(port_->ActiveDispatcher->Trace.HasStore());
}

TEST_F(ComPortLine, ClosingWithTracingWritesTheTraceFirst) {
  bool traceThereAtClose = false;
  port_->SetOnPortClose(
      [&](TComponent*) { traceThereAtClose = fs::exists(files_ / "SERIAL.TRC"); });
  port_->SetTracing(tlOn);
  port_->SetLogging(tlOn);
  OpenPort();
  port_->WriteText("ATE\r\n");
  ASSERT_EQ(pty_.ReadExactly(5), "ATE\r\n");
  port_->SetOpen(false);
  EXPECT_TRUE(traceThereAtClose);
  EXPECT_NE(FileText(files_ / "SERIAL.TRC").find("ATE"), std::string::npos);
  EXPECT_TRUE(fs::exists(files_ / "SERIAL.LOG"));
  EXPECT_EQ(port_->Tracing(), tlOff);
  EXPECT_EQ(port_->OpenState, osClosed);
  EXPECT_TRUE(port_->TriggersSaved);
}

TEST_F(ComPortLine, DestroyingTheOpenPortWritesItsTrace) {
  port_->SetTracing(tlOn);
  OpenPort();
  port_->WriteText("bye");
  ASSERT_EQ(pty_.ReadExactly(3), "bye");
  port_.reset();
  EXPECT_NE(FileText(files_ / "SERIAL.TRC").find("bye"), std::string::npos);
}

TEST_F(ComPortLine, AnUnwritableTraceStillClosesThePort) {
  port_->SetTraceName((files_ / "missing-folder" / "SERIAL.TRC").string());
  port_->SetTracing(tlOn);
  OpenPort();
  port_->WriteText("lost");
  EXPECT_ANY_THROW(port_->SetOpen(false));
  EXPECT_EQ(port_->OpenState, osClosed);
  EXPECT_FALSE(port_->Open());
  EXPECT_EQ(port_->ActiveDispatcher, nullptr);
}

TEST_F(ComPortLine, ACloseAskedForInsideTheHandlerCompletesLater) {
  TOpenState stateInHandler = osClosed;
  bool openInHandler = false;
  int closes = 0;
  port_->SetOnPortClose([&](TComponent*) { ++closes; });
  port_->SetOnTriggerAvail([&](TComponent*, WORD) {
    port_->SetOpen(false);
    stateInHandler = port_->OpenState;
    openInHandler = port_->Open();
    // The port is closing: reads and writes do nothing.
    EXPECT_EQ(port_->TakeChar(), 0);
    port_->WriteText("never");
  });
  OpenPort();
  pty_.Write("RING\r\n");
  ASSERT_TRUE(PumpUntil([&] { return port_->OpenState == osClosed; }));
  EXPECT_EQ(stateInHandler, osClosing);
  EXPECT_TRUE(openInHandler);
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(port_->Open());
  EXPECT_EQ(port_->ActiveDispatcher, nullptr);
  EXPECT_EQ(port_->NotifyWindow, nullptr);
  EXPECT_EQ(pty_.ReadAvailable(), "");
  // The device was let go, so it opens again.
  port_->SetOnTriggerAvail(nullptr);
  OpenPort();
  port_.reset();  // its close handler uses this test's locals
  EXPECT_EQ(closes, 2);
}

TEST_F(ComPortLine, ANewNumberInsideTheHandlerReopensOnceTheCloseCompletes) {
  PtyPair second;
  folder_.Link(4, second.SlavePath());
  port_->SetOnTriggerAvail([&](TComponent*, WORD) { port_->SetComNumber(4); });
  OpenPort();
  pty_.Write("x");
  ASSERT_TRUE(PumpUntil(
      [&] { return port_->OpenState == osOpen && port_->ActiveDispatcher->DeviceName == "COM4"; }));
  EXPECT_FALSE(port_->ReopenRequested);
  port_->WriteText("moved");
  EXPECT_EQ(second.ReadExactly(5), "moved");
}

TEST_F(ComPortLine, DestroyingThePortWithACloseStillPendingFinishesIt) {
  bool closeAsked = false;
  port_->SetOnTriggerAvail([&](TComponent*, WORD) {
    port_->SetOpen(false);
    closeAsked = true;
  });
  OpenPort();
  HWND window = port_->NotifyWindow;
  pty_.Write("x");
  // Destroyed right after the handler returned, while the close message waits.
  ASSERT_TRUE(PumpUntil([&] { return !port_; },
                        [&] {
                          if (closeAsked && port_) {
                            EXPECT_EQ(port_->OpenState, osClosing);
                            port_.reset();
                          }
                        }));
  EXPECT_FALSE(IsWindow(window));
  // Whatever was still queued for the port goes nowhere.
  PumpUntil([] { return false; }, std::chrono::milliseconds(100));
  TestPort again(nullptr);
  again.SetComNumber(3);
  again.SetOpen(true);
  EXPECT_EQ(again.OpenState, osOpen);
}

TEST_F(ComPortLine, AnExceptionInAHandlerIsReportedAndDeliveryGoesOn) {
  std::string received;
  int calls = 0;
  port_->SetOnTriggerAvail([&](TComponent*, WORD count) {
    ++calls;
    for (WORD i = 0; i < count; ++i) received += port_->TakeChar();
    if (calls == 1) throw std::runtime_error("handler failed");
  });
  OpenPort();
  pty_.Write("A");
  ASSERT_TRUE(PumpUntil([&] { return calls == 1; }));
  pty_.Write("B");
  ASSERT_TRUE(PumpUntil([&] { return calls == 2; }));
  EXPECT_EQ(received, "AB");
  ASSERT_EQ(reports_.Reports().size(), 1u);
  EXPECT_EQ(reports_.Reports()[0].first, "Morvel");
  EXPECT_EQ(reports_.Reports()[0].second, "handler failed.");
  EXPECT_EQ(port_->OpenState, osOpen);
}

TEST_F(ComPortLine, AnErrorThatEndsALineThreadReachesTheStandardReport) {
  OpenPort();
  port_->ActiveDispatcher->AddProcTarget([](UINT message, WPARAM, LPARAM) {
    if (message == ser::kMsgAvail) throw std::runtime_error("line thread failed");
  });
  pty_.Write("A");
  // The report comes through Qt's event loop, which serves the port too.
  QElapsedTimer waited;
  waited.start();
  while (reports_.Reports().empty() && waited.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  }
  ASSERT_EQ(reports_.Reports().size(), 1u);
  EXPECT_EQ(reports_.Reports()[0].first, "Morvel");
  EXPECT_EQ(reports_.Reports()[0].second, "line thread failed.");
  // The port still closes cleanly without its dispatch thread.
  port_->SetOpen(false);
  EXPECT_EQ(port_->OpenState, osClosed);
}

TEST_F(ComPortLine, EachNotificationRaisesTheEventsOfItsKind) {
  std::vector<std::string> events;
  auto note = [&](std::string text) { events.push_back(std::move(text)); };
  port_->SetOnTrigger([&](TComponent*, WORD msg, WORD handle, WORD data) {
    note("trigger " + std::to_string(msg) + " " + std::to_string(handle) + " " +
         std::to_string(data));
  });
  port_->SetOnTriggerAvail(
      [&](TComponent*, WORD count) { note("avail " + std::to_string(count)); });
  port_->SetOnTriggerData([&](TComponent*, WORD h) { note("data " + std::to_string(h)); });
  port_->SetOnTriggerTimer([&](TComponent*, WORD h) { note("timer " + std::to_string(h)); });
  port_->SetOnTriggerStatus([&](TComponent*, WORD h) { note("status " + std::to_string(h)); });
  port_->SetOnTriggerModemStatus([&](TComponent*) { note("modem"); });
  port_->SetOnTriggerLineError([&](TComponent*, WORD error, bool lineBreak) {
    note("line " + std::to_string(error) + " " + std::to_string(lineBreak));
  });
  port_->SetOnTriggerOutbuffFree([&](TComponent*) { note("free"); });
  port_->SetOnTriggerOutbuffUsed([&](TComponent*) { note("used"); });
  port_->SetOnTriggerOutSent([&](TComponent*) { note("sent"); });
  OpenPort();
  const LPARAM slot = static_cast<LPARAM>(port_->ActiveDispatcher->Handle) << 16;
  auto deliver = [&](UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = port_->NotifyWindow;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    EXPECT_EQ(DispatchMessageA(&msg), 0);
  };

  // An avail message announces no more than can be taken when it is served.
  port_->SetAvailThreshold(0);  // keeps the dispatcher's own announcements away
  pty_.Write("12345");
  ASSERT_TRUE(PumpUntil([&] { return port_->ActiveDispatcher->InputCount() == 5; }));
  deliver(ser::kMsgAvail, 9, slot | 9);
  deliver(ser::kMsgDataMatch, 2, slot | 9);
  deliver(ser::kMsgTimer, 3, slot | 8);
  // Status kinds sit in the low three bits of the trigger handle.
  for (WPARAM kind = 1; kind <= 7; ++kind) deliver(ser::kMsgStatus, 8 | kind, slot | 1);
  // A slot that holds no dispatcher reaches no port.
  deliver(ser::kMsgAvail, 1, static_cast<LPARAM>(0x7FFF) << 16);

  std::vector<std::string> expected = {"trigger 32257 5 5", "avail 5",
                                       "trigger 32258 2 9", "data 2",
                                       "trigger 32259 3 8", "timer 3"};
  const char* kinds[] = {"modem", "line 0 0", "free", "used", "sent", nullptr, nullptr};
  for (int kind = 1; kind <= 7; ++kind) {
    expected.push_back("trigger 32260 " + std::to_string(8 + kind) + " 1");
    expected.push_back("status " + std::to_string(8 + kind));
    if (kinds[kind - 1]) expected.push_back(kinds[kind - 1]);
  }
  EXPECT_EQ(events, expected);
  port_.reset();  // its handlers use this test's locals
}

TEST_F(ComPortLine, HandlerModeFollowsTheAssignedEvents) {
  OpenPort();
  EXPECT_FALSE(port_->ActiveDispatcher->PortHasHandlers);
  // The open and close events are not notifications.
  port_->SetOnPortOpen([](TComponent*) {});
  port_->SetOnPortClose([](TComponent*) {});
  EXPECT_FALSE(port_->ActiveDispatcher->PortHasHandlers);
  port_->SetOnTrigger([](TComponent*, WORD, WORD, WORD) {});
  EXPECT_TRUE(port_->ActiveDispatcher->PortHasHandlers);
  port_->SetOnTrigger(nullptr);
  EXPECT_FALSE(port_->ActiveDispatcher->PortHasHandlers);
  port_->SetOnTriggerOutSent([](TComponent*) {});
  EXPECT_TRUE(port_->ActiveDispatcher->PortHasHandlers);
}

TEST_F(ComPortLine, SettingsStoredWhileClosedReachTheLineAtOpen) {
  port_->SetSWFlowOptions(swfTransmit);
  port_->SetXOnChar('Q');
  port_->SetXOffChar('S');
  port_->SetUseEventWord(false);
  port_->SetAvailThreshold(5);
  port_->SetThreadPriorityBoost(2);
  OpenPort();
  ser::TSerBaseDispatcher& d = *port_->ActiveDispatcher;
  DWORD hardware = 0, software = 0;
  char xon = 0, xoff = 0;
  d.GetFlowSettings(hardware, software, xon, xoff);
  EXPECT_EQ(hardware, 0u);
  EXPECT_EQ(software, ser::sfTransmit);
  EXPECT_EQ(xon, 'Q');
  EXPECT_EQ(xoff, 'S');
  EXPECT_EQ(d.OptionFlags & 4, 0u);
  EXPECT_EQ(d.AvailThreshold, 5u);
  EXPECT_EQ(d.ThreadBoost, 2);
  EXPECT_FALSE(d.RS485On);
}

TEST_F(ComPortLine, RS485ModeAtOpenAndRtsHandshakeEndingIt) {
  port_->SetRS485Mode(true);
  OpenPort();
  ser::TSerBaseDispatcher& d = *port_->ActiveDispatcher;
  EXPECT_TRUE(d.RS485On);
  EXPECT_FALSE(port_->RTS());
  EXPECT_FALSE(d.RtsOn);
  port_->SetHWFlowOptions({hwfUseRTS});
  EXPECT_FALSE(port_->RS485Mode());
  EXPECT_FALSE(d.RS485On);
}

TEST_F(ComPortLine, SettingsGoToTheOpenLine) {
  OpenPort();
  port_->SetBaud(9600);
  DWORD baud = 0;
  BYTE parity = 0, dataBits = 0, stopBits = 0;
  port_->ActiveDispatcher->GetLineParams(baud, parity, dataBits, stopBits);
  EXPECT_EQ(baud, 9600u);
  port_->SetUseEventWord(false);
  EXPECT_EQ(port_->ActiveDispatcher->OptionFlags & 4, 0u);
  port_->SetUseEventWord(true);
  EXPECT_EQ(port_->ActiveDispatcher->OptionFlags & 4, 4u);
  port_->SetDTR(false);
  EXPECT_FALSE(port_->DTR());
  EXPECT_FALSE(port_->ActiveDispatcher->DtrOn);
  EXPECT_EQ(port_->LineErrorValue(), 0);
  EXPECT_FALSE(port_->LineBreakValue());
}

// Flow control the line cannot enforce (a pty has no modem lines) is refused
// at once with the platform's text, and leaves the port as it was.
TEST_F(ComPortLine, FlowControlTheLineCannotEnforceIsRefused) {
  OpenPort();
  for (THWFlowOptionSet options : {THWFlowOptionSet({hwfUseDTR}), THWFlowOptionSet({hwfRequireDSR}),
                                   THWFlowOptionSet({hwfUseRTS, hwfRequireCTS})}) {
    try {
      port_->SetHWFlowOptions(options);
      ADD_FAILURE() << "accepted";
    } catch (const ser::EInOutError& error) {
      EXPECT_EQ(std::string(error.what()).rfind("The request is not supported.", 0), 0u);
    }
    EXPECT_EQ(port_->HWFlowOptions(), THWFlowOptionSet());
  }
  EXPECT_THROW(port_->SetSWFlowOptions(swfReceive), ser::EInOutError);
  EXPECT_EQ(port_->SWFlowOptions(), swfNone);
  // DTR and RTS are still the program's to drive.
  port_->SetDTR(false);
  port_->SetRTS(false);
  EXPECT_FALSE(port_->ActiveDispatcher->DtrOn);
  EXPECT_FALSE(port_->ActiveDispatcher->RtsOn);
  EXPECT_FALSE(port_->RTS());
}

}  // namespace
}  // namespace morvel::test
