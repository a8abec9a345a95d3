#include "serial/dispatch_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/errors.h"
#include "serial/error_messages.h"
#include "serial/log_render.h"
#include "serial/text_file_writer.h"
#include "serial/trace_log_test_files.h"

namespace {

using trace_log_test::Exists;
using trace_log_test::ReadAll;

std::atomic<DWORD> gNow{0};
DWORD TestClock() {
  return gNow.load();
}

constexpr BYTE kDispatch = 1, kTrigger = 2, kTrigAllc = 5, kTrigDisp = 6, kTelnet = 10, kUser = 19;
constexpr BYTE kReadCom = 1, kWriteCom = 2, kModemStatus = 4, kAvail = 5, kStatus = 8,
               kStatusKind = 15, kWindow = 17;

// Splits a log file into its seven header lines and the rows after them.
struct LogFile {
  std::vector<std::string> header;
  std::string rows;
};

LogFile Split(const std::string& text) {
  LogFile file;
  std::size_t at = 0;
  for (int i = 0; i < 7; ++i) {
    std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) break;
    file.header.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  file.rows = text.substr(std::min(at, text.size()));
  return file;
}

void ExpectHeader(const LogFile& file, const std::string& device) {
  ASSERT_EQ(file.header.size(), 7u);
  EXPECT_EQ(file.header[0], "SERIAL v4.06");
  EXPECT_TRUE(std::regex_match(file.header[1], std::regex("Compiler : (GCC|Clang) [0-9].*")))
      << file.header[1];
  EXPECT_TRUE(std::regex_match(file.header[2], std::regex("Operating System : Linux .+")))
      << file.header[2];
  EXPECT_EQ(file.header[3], "Device: " + device);
  EXPECT_TRUE(
      std::regex_match(file.header[4], std::regex(R"(Date/time: \d\d/\d\d/\d\d, \d\d:\d\d:\d\d)")))
      << file.header[4];
  EXPECT_EQ(file.header[5], "Time      Type      SubType       Data      OtherData");
  EXPECT_EQ(file.header[6], "--------  --------  ------------  --------  ---------");
}

const std::string kIndent(44, ' ');

class DispatchLogTest : public ::testing::Test {
 protected:
  DispatchLogTest() {
    InitializeCriticalSection(&lock_);
    gNow = 0;
    log_.SetClockBase(0);
    log_.SetDeviceName("COM1");
  }
  ~DispatchLogTest() override { DeleteCriticalSection(&lock_); }

  void Entry(DWORD time, BYTE kind, BYTE subKind, DWORD data, const std::string& extra = "") {
    gNow = time;
    log_.RecordLogEntry(kind, subKind, data, static_cast<DWORD>(extra.size()),
                        extra.empty() ? nullptr : extra.data());
  }
  // The rows of the written log; the header is checked on the way.
  std::string Rows(bool hex = true, bool allHex = false) {
    EXPECT_EQ(log_.WriteLogFile(file_, false, hex, allHex), 0);
    LogFile file = Split(ReadAll(file_));
    ExpectHeader(file, "COM1");
    return file.rows;
  }

  CRITICAL_SECTION lock_;
  ser::TSerDispatchLog log_{lock_, TestClock};
  trace_log_test::TempFolder folder_;
  std::string file_ = folder_.File("SERIAL.LOG");
};

TEST(LogTimeText, SecondsWithMilliseconds) {
  EXPECT_EQ(ser::LogTimeText(0), "0000.000");
  EXPECT_EQ(ser::LogTimeText(5), "0000.005");
  EXPECT_EQ(ser::LogTimeText(1234), "0001.234");
  EXPECT_EQ(ser::LogTimeText(9999999), "9999.999");
  EXPECT_EQ(ser::LogTimeText(10000000), "10000.000");
  // A port open for more than 24.8 days must not show negative times.
  EXPECT_EQ(ser::LogTimeText(0xFFFFFFFFu), "4294967.295");
}

TEST_F(DispatchLogTest, RowsShowTimeLabelsDataAndBytes) {
  log_.OpenLog(1000);
  Entry(5, kDispatch, kReadCom, 4, "OK\r\n");
  Entry(1234, kTrigger, kAvail, 4);
  Entry(60000, ser::lkTrgHdAlc, kWindow, 0xABCDEF12);
  Entry(61000, kDispatch, kWriteCom, 0);
  Entry(61001, ser::lkTrDatChg, kAvail, 1);
  EXPECT_EQ(Rows(),
            "0000.005  Dispatch  ReadCom       00000004  OK[0D][0A]\r\n"
            "0001.234  Trigger   Avail         00000004  \r\n"
            "0060.000  TrgHdAlc  Window        ABCDEF12  \r\n"
            "0061.000  Dispatch  WriteCom      00000000  \r\n"
            "0061.001  TrDatChg  Avail         00000001  \r\n");
}

TEST_F(DispatchLogTest, TimesCountFromTheClockBaseAndGrowPast10000Seconds) {
  log_.OpenLog(1000);
  log_.SetClockBase(70000);
  Entry(70000 + 9999999, kTrigger, kAvail, 1);
  Entry(70000 + 10000005, kDispatch, kReadCom, 1, "A");
  EXPECT_EQ(Rows(),
            "9999.999  Trigger   Avail         00000001  \r\n"
            "10000.005  Dispatch  ReadCom       00000001  A\r\n");
}

TEST_F(DispatchLogTest, ByteFormsFollowHexAndAllHex) {
  log_.OpenLog(1000);
  Entry(0, kDispatch, kReadCom, 4, " \x07\xC8~");
  std::string row = "0000.000  Dispatch  ReadCom       00000004  ";
  EXPECT_EQ(Rows(false, false), row + " [7][200]~\r\n");
  log_.OpenLog(1000);
  Entry(0, kDispatch, kReadCom, 4, " \x07\xC8~");
  EXPECT_EQ(Rows(true, false), row + "[20][07][C8]~\r\n");
  log_.OpenLog(1000);
  Entry(0, kDispatch, kReadCom, 4, " \x07\xC8~");
  EXPECT_EQ(Rows(false, true), row + "[20][07][C8][7E]\r\n");
}

TEST_F(DispatchLogTest, UserEntriesShowPlainCharactersUnderAllHex) {
  log_.OpenLog(1000);
  Entry(0, kUser, 0, 2, "A\x01");
  Entry(0, kDispatch, kReadCom, 2, "A\x01");
  EXPECT_EQ(Rows(true, true),
            "0000.000  User                    00000002  A\x01\r\n"
            "0000.000  Dispatch  ReadCom       00000002  [41][01]\r\n");
}

TEST_F(DispatchLogTest, ExtraBytesWrapOntoIndentedLinesWhenReaching79) {
  log_.OpenLog(1000);
  Entry(0, kDispatch, kReadCom, 40, std::string(40, 'a'));
  Entry(0, kDispatch, kReadCom, 33, std::string(33, 'b'));
  Entry(0, kDispatch, kReadCom, 10, std::string(10, '\r'));
  Entry(0, kDispatch, kReadCom, 31, std::string(30, 'c') + "\n");
  std::string row = "0000.000  Dispatch  ReadCom       ";
  std::string cr8 = "[0D][0D][0D][0D][0D][0D][0D][0D]";
  EXPECT_EQ(Rows(), row + "00000028  " + std::string(33, 'a') + "\r\n" + kIndent +
                        std::string(7, 'a') + "\r\n" +                                  //
                        row + "00000021  " + std::string(33, 'b') + "\r\n" +            //
                        row + "0000000A  " + cr8 + "\r\n" + kIndent + "[0D][0D]\r\n" +  //
                        row + "0000001F  " + std::string(30, 'c') + "\r\n" + kIndent + "[0A]\r\n");
}

TEST_F(DispatchLogTest, ModemStatusNamesTheSetBits) {
  log_.OpenLog(1000);
  Entry(0, kDispatch, kModemStatus, 0x31);
  Entry(0, kDispatch, kModemStatus, 0);
  Entry(0, kDispatch, kModemStatus, 0x1FF);
  Entry(0, kDispatch, kModemStatus, 0xC0, "!");
  std::string row = "0000.000  Dispatch  Modem status  ";
  EXPECT_EQ(Rows(), row + "00000031  (DCTS CTS DSR)\r\n" +  //
                        row + "00000000  ()\r\n" +          //
                        row + "000001FF  (DCTS DDSR TERI DDCD CTS DSR RI DCD)\r\n" + row +
                        "000000C0  !(RI DCD)\r\n");
}

TEST_F(DispatchLogTest, StatusTriggerEntriesNameTheirKind) {
  log_.OpenLog(1000);
  Entry(0, kTrigAllc, kStatusKind, 7, "\x03");
  Entry(0, kTrigDisp, kStatusKind, 7, std::string("\x00", 1));
  Entry(0, kTrigDisp, kStatusKind, 7, "\x05\x09");
  Entry(0, kTrigDisp, kStatusKind, 7);
  Entry(0, kTrigger, kStatus, 7, "\x03");
  Entry(0, kTrigAllc, kStatusKind, 7, "\x06");
  EXPECT_EQ(Rows(),
            "0000.000  TrigAllc  Status        00000007  (Output buffer free)\r\n"
            "0000.000  TrigDisp  Status        00000007  (Not active)\r\n"
            "0000.000  TrigDisp  Status        00000007  (Output sent)\r\n"
            "0000.000  TrigDisp  Status        00000007  \r\n"
            "0000.000  Trigger   Status        00000007  [03]\r\n"
            "0000.000  TrigAllc  Status        00000007  [06]\r\n");
}

TEST_F(DispatchLogTest, TelnetEntriesBracketTheirOptionLabel) {
  log_.OpenLog(1000);
  Entry(0, kTelnet, 0, 43);
  Entry(0, kTelnet, 0, 0);
  Entry(0, kTelnet, 0, 1, "x");
  std::string row = "0000.000  Telnet                  ";
  EXPECT_EQ(Rows(), row + "0000002B  []\r\n" +                                          //
                        row + "00000000  [" + ser::ErrorMessageText(15700) + "]\r\n" +  //
                        row + "00000001  x\r\n");
}

TEST_F(DispatchLogTest, RecordSplitAcrossTheEndOfTheStore) {
  log_.OpenLog(40);
  Entry(1, kDispatch, kReadCom, 4, "ABCD");  // bytes 0..19
  Entry(2, kTrigger, kAvail, 7);             // bytes 20..35
  Entry(3, kDispatch, kWriteCom, 2, "xy");   // evicts the first; record 36..39 and 0..11
  EXPECT_EQ(Rows(),
            "0000.002  Trigger   Avail         00000007  \r\n"
            "0000.003  Dispatch  WriteCom      00000002  xy\r\n");
}

TEST_F(DispatchLogTest, ExtraBytesSplitAcrossTheEndOfTheStore) {
  log_.OpenLog(40);
  Entry(1, kDispatch, kReadCom, 4, "ABCD");
  Entry(2, kTrigger, kAvail, 7);
  Entry(3, kDispatch, kWriteCom, 2, "xy");            // ends at 14
  Entry(4, kDispatch, kReadCom, 12, "0123456789AB");  // record 14..29, bytes 30..39, 0..1
  EXPECT_EQ(Rows(), "0000.004  Dispatch  ReadCom       0000000C  0123456789AB\r\n");
}

TEST_F(DispatchLogTest, FullLogLosesWholeOldestEntriesUntilTheNewOneFits) {
  log_.OpenLog(64);
  for (DWORD i = 1; i <= 4; ++i) Entry(i, kTrigger, kAvail, i);  // exactly full, head back at 0
  Entry(5, kDispatch, kReadCom, 20, std::string(20, 'n'));       // needs 36: three go
  Entry(6, kTrigger, kAvail, 6);                                 // the fourth goes
  EXPECT_EQ(Rows(), "0000.005  Dispatch  ReadCom       00000014  " + std::string(20, 'n') +
                        "\r\n"
                        "0000.006  Trigger   Avail         00000006  \r\n");
}

TEST_F(DispatchLogTest, LogOf16BytesStoresNothing) {
  log_.OpenLog(16);
  Entry(1, kTrigger, kAvail, 1);
  EXPECT_EQ(log_.WriteLogFile(file_, false, true, false), 0);
  EXPECT_FALSE(Exists(file_));
}

TEST_F(DispatchLogTest, LogOf17BytesHoldsOneEntryWithoutExtraBytes) {
  log_.OpenLog(17);
  Entry(1, kTrigger, kAvail, 1);
  Entry(2, kDispatch, kReadCom, 1, "x");  // 17 bytes: too large, the older entry stays
  Entry(3, kTrigger, kAvail, 3);
  EXPECT_EQ(Rows(), "0000.003  Trigger   Avail         00000003  \r\n");
}

TEST_F(DispatchLogTest, EntryLargerThanTheLogKeepsTheOlderEntries) {
  log_.OpenLog(100);
  Entry(1, kTrigger, kAvail, 1);
  Entry(2, kDispatch, kReadCom, 84, std::string(84, 'x'));
  EXPECT_EQ(Rows(), "0000.001  Trigger   Avail         00000001  \r\n");
}

TEST_F(DispatchLogTest, ExtraBytesBeyondTheFirstScratchSizeAreKept) {
  constexpr int kBytes = 10000;
  log_.OpenLog(2 * kBytes);
  Entry(0, kDispatch, kReadCom, kBytes, std::string(kBytes, 'z'));
  std::string expected = "0000.000  Dispatch  ReadCom       00002710  ";
  for (int left = kBytes; left > 0; left -= 33) {
    expected += std::string(std::min(left, 33), 'z') + "\r\n";
    if (left > 33) expected += kIndent;
  }
  EXPECT_EQ(Rows(), expected);
}

TEST_F(DispatchLogTest, EmptyOrAbsentLogWritesNoFile) {
  EXPECT_EQ(log_.WriteLogFile(file_, false, true, false), 0);
  log_.OpenLog(1000);
  EXPECT_EQ(log_.WriteLogFile(file_, false, true, false), 0);
  EXPECT_FALSE(Exists(file_));
  EXPECT_FALSE(log_.HasLog());
}

TEST_F(DispatchLogTest, PausedLogRecordsNothingAndReopeningEmptiesIt) {
  log_.ResumeLog();
  EXPECT_FALSE(log_.LogOn());
  log_.OpenLog(1000);
  EXPECT_TRUE(log_.LogOn());
  Entry(1, kTrigger, kAvail, 1);
  log_.PauseLog();
  Entry(2, kTrigger, kAvail, 2);
  log_.OpenLog(1000);  // empties, stays paused
  EXPECT_FALSE(log_.LogOn());
  EXPECT_TRUE(log_.HasLog());
  Entry(3, kTrigger, kAvail, 3);
  log_.ResumeLog();
  Entry(4, kTrigger, kAvail, 4);
  log_.ResetLog();
  Entry(5, kTrigger, kAvail, 5);
  EXPECT_EQ(Rows(), "0000.005  Trigger   Avail         00000005  \r\n");
  EXPECT_FALSE(log_.HasLog());
  EXPECT_FALSE(log_.LogOn());
}

TEST_F(DispatchLogTest, DropLogFreesIt) {
  log_.OpenLog(1000);
  Entry(1, kTrigger, kAvail, 1);
  log_.DropLog();
  EXPECT_FALSE(log_.HasLog());
  Entry(2, kTrigger, kAvail, 2);
  EXPECT_EQ(log_.WriteLogFile(file_, false, true, false), 0);
  EXPECT_FALSE(Exists(file_));
}

TEST_F(DispatchLogTest, AppendKeepsTheFileAndTruncateReplacesIt) {
  trace_log_test::WriteAll(file_, "before\r\n");
  log_.OpenLog(1000);
  Entry(1, kTrigger, kAvail, 1);
  EXPECT_EQ(log_.WriteLogFile(file_, true, true, false), 0);
  std::string text = ReadAll(file_);
  ASSERT_EQ(text.rfind("before\r\n", 0), 0u);
  LogFile appended = Split(text.substr(8));
  ExpectHeader(appended, "COM1");
  EXPECT_EQ(appended.rows, "0000.001  Trigger   Avail         00000001  \r\n");

  log_.OpenLog(1000);
  Entry(2, kTrigger, kAvail, 2);
  EXPECT_EQ(Rows(), "0000.002  Trigger   Avail         00000002  \r\n");
}

TEST_F(DispatchLogTest, OpenFailureKeepsTheLogPausedForAnotherTry) {
  log_.OpenLog(1000);
  Entry(1, kTrigger, kAvail, 1);
  EXPECT_EQ(log_.WriteLogFile(folder_.File("missing/SERIAL.LOG"), false, true, false), -3);
  EXPECT_TRUE(log_.HasLog());
  EXPECT_FALSE(log_.LogOn());
  Entry(2, kTrigger, kAvail, 2);
  EXPECT_EQ(Rows(), "0000.001  Trigger   Avail         00000001  \r\n");
}

TEST_F(DispatchLogTest, DeniedFolderIsAccessDenied) {
  folder_.MakeReadOnly();
  EXPECT_EXIT(
      {
        trace_log_test::BecomeUnprivileged();
        CRITICAL_SECTION lock;
        InitializeCriticalSection(&lock);
        ser::TSerDispatchLog log(lock);
        log.OpenLog(1000);
        log.RecordLogEntry(kTrigger, kAvail, 1, 0, nullptr);
        int result = log.WriteLogFile(file_, false, true, false);
        std::_Exit(log.HasLog() && !log.LogOn() ? trace_log_test::ExitCodeOf(-result) : 99);
      },
      ::testing::ExitedWithCode(static_cast<int>(ERROR_ACCESS_DENIED)), "");
}

TEST_F(DispatchLogTest, FailedWriteIsReportedAndDropsTheLog) {
  log_.OpenLog(1000);
  Entry(1, kTrigger, kAvail, 1);
  EXPECT_EQ(log_.WriteLogFile("/dev/full", false, true, false), -static_cast<int>(ser::kDiskFull));
  EXPECT_FALSE(log_.HasLog());
}

TEST_F(DispatchLogTest, RecordingFromTwoThreadsLosesNothing) {
  constexpr int kEach = 2000;
  log_.OpenLog(4 * kEach * 32);
  auto recorder = [&](BYTE subKind) {
    for (int i = 0; i < kEach; ++i) log_.RecordLogEntry(kDispatch, subKind, 1, 1, "q");
  };
  std::thread reader(recorder, kReadCom);
  std::thread writer(recorder, kWriteCom);
  reader.join();
  writer.join();
  std::string rows = Rows();
  EXPECT_EQ(std::count(rows.begin(), rows.end(), 'q'), 2 * kEach);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 2 * kEach);
}

}  // namespace
