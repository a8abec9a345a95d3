// What the dispatcher writes to its dispatch log as a port lives, read back
// from the real log file.
#include <cstdint>
#include <cstdio>

#include "serial/dispatcher_fixture.h"
#include "serial/result_codes.h"
#include "serial/trace_log_test_files.h"

namespace morvel::test {
namespace {

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
  return text;
}

DWORD WindowWord(HWND window) {
  return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(window));
}

// The rows of a written log without their time column, one string a row.
std::vector<std::string> RowsWithoutTimes(const std::string& file) {
  std::string text = trace_log_test::ReadAll(file);
  std::vector<std::string> rows;
  size_t at = 0;
  for (int line = 0; at < text.size(); ++line) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    std::string row = text.substr(at, end - at);
    at = end + 2;
    if (line < 7) continue;  // the header
    size_t gap = row.find("  ");
    rows.push_back(gap == std::string::npos ? row : row.substr(gap + 2));
  }
  return rows;
}

TEST_F(DispatcherTest, TheDispatchLogRecordsWhatTheDispatcherDid) {
  ASSERT_EQ(Open(), 0);
  D().OpenLog(100000);
  D().SetAvailThreshold(2);
  NotifyWindow second;
  D().AddWindowTarget(second.Handle());
  window_.handler = [&](const Notification& n) {
    if (n.message != ser::kMsgAvail) return;
    BYTE c;
    for (WPARAM i = 0; i < n.wParam; ++i) D().ReadChar(c);
  };

  pty_.Write("OK");
  ASSERT_TRUE(PumpUntil([&] { return window_.Count(ser::kMsgAvail) == 1; }));
  EXPECT_EQ(D().WriteBlock("", 0), ser::ecOK);  // nothing to log
  ASSERT_EQ(D().WriteBlock("AT\r", 3), ser::ecOK);
  EXPECT_EQ(pty_.ReadExactly(3), "AT\r");
  ASSERT_TRUE(PumpUntil([&] { return D().OutputUsed() == 0; }));
  int status = D().AddStatusTrigger(ser::stOutbuffUsed, 0);
  ASSERT_TRUE(PumpUntil([&] { return window_.Count(ser::kMsgStatus) == 1; }));
  int timer = D().AddTimerTrigger(1);
  ASSERT_TRUE(PumpUntil([&] { return window_.Count(ser::kMsgTimer) == 1; }));
  int data = D().AddDataTrigger("Z", false);
  pty_.Write("Z");
  ASSERT_TRUE(PumpUntil([&] { return window_.Count(ser::kMsgDataMatch) == 1; }));
  D().RemoveWindowTarget(second.Handle());

  trace_log_test::TempFolder folder;
  const std::string file = folder.File("SERIAL.LOG");
  ASSERT_EQ(D().WriteLogFile(file, false, true, false), 0);
  const std::string window = Hex(WindowWord(second.Handle()));
  EXPECT_EQ(RowsWithoutTimes(file), (std::vector<std::string>{
                                        "TrDatChg  Avail         00000002  ",
                                        "TrgHdAlc  Window        " + window + "  ",
                                        "Dispatch  ReadCom       00000002  OK",
                                        "Trigger   Avail         00000002  ",
                                        "Dispatch  WriteCom      00000003  AT[0D]",
                                        "Trigger   Status        " + Hex(status) + "  ",
                                        "Trigger   Timer         " + Hex(timer) + "  ",
                                        "Dispatch  ReadCom       00000001  Z",
                                        "Trigger   Data          " + Hex(data) + "  ",
                                        "TrgHdDsp  Window        " + window + "  ",
                                    }));
}

}  // namespace
}  // namespace morvel::test
