// A simulated day of status polling: 86,400 ticks driven straight into the
// tick handler, against a device on the pty that answers every query at once
// as the simulator does, with the dialogue's pauses recorded instead of
// slept. Over the day the dialogue keeps coming back to the same point of its
// cycle, and the heap stays flat apart from the monitor's text.
#include <malloc.h>

#include <QPushButton>
#include <QTextDocument>
#include <cstdio>
#include <map>
#include <tuple>

#include "app/dialogue/blocking_wait.h"
#include "form_on_pty.h"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's own count (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace morvel::test {
namespace {

constexpr int kTicksPerHour = 60 * 60;
constexpr int kTicksPerDay = 24 * kTicksPerHour;
// The first query goes out on the 9th tick, then one every 35 ticks.
constexpr int kQueriesPerDay = (kTicksPerDay - 9) / 35 + 1;
// Each query and its follow-up bring two replies of four lines each.
constexpr int kDayOfLines = 8 * kQueriesPerDay;

// Heap bytes in use; under AddressSanitizer its allocator keeps the count.
int64_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#else
  const struct mallinfo2 heap = mallinfo2();
  // Large blocks are mapped apart from the arenas.
  return static_cast<int64_t>(heap.uordblks + heap.hblkhd);
#endif
}

// The device's reply to each query, and whether the window follows it up.
struct Answer {
  std::string reply;
  bool followedUp;
};
const std::map<std::string, Answer> kDevice = {
    {"AT+CREG?\r\n", {"\r\n+CREG: 0,1\r\n\r\nOK\r\n", true}},
    {"AT+COPS?\r\n", {"\r\n+COPS: 0,0,\"Kestrix Net\"\r\n\r\nOK\r\n", true}},
    {"AT+CAMM?\r\n", {"\r\n+CAMM: \"000100\"\r\n\r\nOK\r\n", true}},
    {"AT+CACM?\r\n", {"\r\n+CACM: \"000040\"\r\n\r\nOK\r\n", false}},
    {"AT+CSQ\r\n", {"\r\n+CSQ: 21,99\r\n\r\nOK\r\n", false}},
};

std::map<DWORD, int> gWaits;
void RecordWait(DWORD milliseconds) {
  ++gWaits[milliseconds];
}

class Soak : public FormOnPty {
 protected:
  Soak() : sleep_(SetBlockingWait(&RecordWait)) { form_->show(); }
  ~Soak() override { SetBlockingWait(sleep_); }

  // Lines on the monitor, counted without copying its text.
  int MonitorLineCount() const { return form_->Monitor->document()->blockCount() - 1; }

  // Everything that must be the same at the same point of every cycle.
  using Snapshot =
      std::tuple<int, bool, int32_t, bool, std::string, std::string, int32_t, int64_t, int32_t,
                 bool, bool, bool, bool, bool, bool, std::array<int32_t, kTagCount>>;
  Snapshot Phase() {
    const DialogueState& s = State();
    return std::make_tuple(form_->Gauge1->Progress(), form_->LoadPHONE->isEnabled(),
                           s.LinkMissCount, s.DeviceReady, s.ReplyLine, s.OperatorName,
                           s.SignalQuality, s.AcmBalance, s.StepIndex, s.CentreAsked,
                           s.PhoneErasePending, s.PhoneWritePending, s.SmsDeletePending,
                           s.SmsWriteAfterDelete, s.SmsTextPending, s.SimIndex);
  }

  // Ticks `ticks` times; after every registration query plays the device
  // until the queries it chains have ended, and counts what each cycle sent.
  void Run(int ticks) {
    for (int i = 0; i < ticks; ++i) {
      Tick();
      if (State().LinkMissCount < 9) continue;
      std::string sent;
      for (bool more = true; more;) {
        const std::string command = pty_.ReadUntil("\r\n");
        sent += command;
        const auto answer = kDevice.find(command);
        ASSERT_NE(answer, kDevice.end()) << "tick " << i << " sent " << sent;
        const int expected = MonitorLineCount() + 4;
        pty_.Write(answer->second.reply);
        ASSERT_TRUE(Serve([&] { return MonitorLineCount() >= expected; }));
        more = answer->second.followedUp;
      }
      ++cycles_[sent];
      lastCycle_ = Phase();
    }
  }

  WaitFunction sleep_;
  std::map<std::string, int> cycles_;
  Snapshot lastCycle_;
};

TEST_F(Soak, ADayOfPollingComesBackToItsCycleWithTheHeapFlat) {
  gWaits.clear();
  Run(kTicksPerHour);
  const auto cycleInTheFirstHour = lastCycle_;
  // The monitor's text is what may grow, so it is emptied for each measure.
  // Emptying keeps some of what its largest text took: that high-water mark
  // is reached here first, with more lines than the rest of the day brings.
  form_->Monitor->appendPlainText(QString("+CREG: 0,1\n").repeated(kDayOfLines));
  QCoreApplication::processEvents();
  form_->Monitor->clear();
  const int64_t warm = HeapInUse();

  Run(kTicksPerDay - kTicksPerHour);
  const int lines = MonitorLineCount();
  const int64_t withMonitor = HeapInUse();
  form_->Monitor->clear();
  const int64_t end = HeapInUse();
  std::printf("heap after an hour %lld B, after the day %lld B; monitor %d lines, %lld B\n",
              static_cast<long long>(warm), static_cast<long long>(end), lines,
              static_cast<long long>(withMonitor - end));

  EXPECT_EQ(cycles_,
            (std::map<std::string, int>{{"AT+CREG?\r\nAT+COPS?\r\nAT+CAMM?\r\nAT+CACM?\r\n", 1},
                                        {"AT+CREG?\r\nAT+CSQ\r\n", kQueriesPerDay - 1}}));
  // One pause before each query of a chain, none slept.
  EXPECT_EQ(gWaits, (std::map<DWORD, int>{{100, kQueriesPerDay + 2}}));
  EXPECT_EQ(lastCycle_, cycleInTheFirstHour);
  EXPECT_EQ(std::get<0>(lastCycle_), 27);
  // The day ends 11 ticks after its last registration reply.
  EXPECT_EQ(form_->Gauge1->Progress(), 27 - 11);
  EXPECT_TRUE(form_->LoadPHONE->isEnabled());
  EXPECT_EQ(SentAfterwards(), "");

  // Four lines a reply since the hour, each costing well under 2 KiB.
  const int queriesInTheFirstHour = (kTicksPerHour - 9) / 35 + 1;
  EXPECT_EQ(lines, kDayOfLines - 8 * queriesInTheFirstHour);
  EXPECT_LT(withMonitor - end, int64_t{2048} * lines);
  EXPECT_LT(end - warm, int64_t{128} * 1024);
}

}  // namespace
}  // namespace morvel::test
