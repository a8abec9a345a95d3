#include "serial/trace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/errors.h"
#include "serial/result_codes.h"
#include "serial/text_file_writer.h"
#include "serial/trace_log_test_files.h"

namespace {

using trace_log_test::Exists;
using trace_log_test::ReadAll;

class TraceTest : public ::testing::Test {
 protected:
  TraceTest() { InitializeCriticalSection(&lock_); }
  ~TraceTest() override { DeleteCriticalSection(&lock_); }

  void Receive(const std::string& bytes) { Record('R', bytes); }
  void Transmit(const std::string& bytes) { Record('T', bytes); }
  void Record(char kind, const std::string& bytes) {
    for (char c : bytes) trace_.RecordTrace(kind, static_cast<BYTE>(c));
  }
  // Writes with hex on, all-hex off unless told otherwise; expects success.
  std::string Dump(bool hex = true, bool allHex = false) {
    EXPECT_EQ(trace_.WriteTraceFile(file_, false, hex, allHex), ser::ecOK);
    return ReadAll(file_);
  }

  CRITICAL_SECTION lock_;
  ser::TSerTrace trace_{lock_};
  trace_log_test::TempFolder folder_;
  std::string file_ = folder_.File("SERIAL.TRC");
};

TEST_F(TraceTest, FullStoreKeepsTheNewestEntries) {
  ASSERT_EQ(trace_.OpenTrace(3), ser::ecOK);
  Receive("ABCD");
  EXPECT_EQ(Dump(), "Receive: \r\nBCD");
}

TEST_F(TraceTest, StoreFilledExactlyOnceWritesAllInOrder) {
  ASSERT_EQ(trace_.OpenTrace(3), ser::ecOK);
  Receive("AB");
  Transmit("C");
  EXPECT_EQ(Dump(), "Receive: \r\nAB\r\n\r\nTransmit: \r\nC");
}

TEST_F(TraceTest, EveryChangeOfKindStartsABlockAfterAnEmptyLine) {
  ASSERT_EQ(trace_.OpenTrace(100), ser::ecOK);
  Transmit("AT\r\n");
  Receive("OK");
  Record('X', "!");
  Receive("z");
  EXPECT_EQ(Dump(),
            "Transmit: \r\nAT[0D][0A]\r\n\r\n"
            "Receive: \r\nOK\r\n\r\n"
            "Special-X: \r\n!\r\n\r\n"
            "Receive: \r\nz");
}

TEST_F(TraceTest, ByteFormsWithHexOff) {
  ASSERT_EQ(trace_.OpenTrace(100), ser::ecOK);
  Receive(std::string("\x20\x07\x0D\xC8\x00\x63\x64\x7E\x7F\x21", 10));
  EXPECT_EQ(Dump(false, false), "Receive: \r\n [7][13][200][0]cd~[127]!");
}

TEST_F(TraceTest, ByteFormsWithHexOnBracketTheSpace) {
  ASSERT_EQ(trace_.OpenTrace(100), ser::ecOK);
  Receive(std::string("\x20\x07\x0D\xC8\x00\x63\x7E\x7F\x21\xFF", 10));
  EXPECT_EQ(Dump(true, false), "Receive: \r\n[20][07][0D][C8][00]c~[7F]![FF]");
}

TEST_F(TraceTest, AllHexBracketsEveryByteWhateverHexSays) {
  ASSERT_EQ(trace_.OpenTrace(100), ser::ecOK);
  Receive("a ~\x0A");
  EXPECT_EQ(Dump(false, true), "Receive: \r\n[61][20][7E][0A]");
}

TEST_F(TraceTest, LinesWrapAfterColumn78) {
  ASSERT_EQ(trace_.OpenTrace(200), ser::ecOK);
  Receive(std::string(80, 'x'));
  Transmit(std::string(78, 'y'));
  EXPECT_EQ(Dump(), "Receive: \r\n" + std::string(78, 'x') + "\r\nxx\r\n\r\nTransmit: \r\n" +
                        std::string(78, 'y'));
}

TEST_F(TraceTest, WideFormsWrapWholeWhenTheyPassColumn78) {
  ASSERT_EQ(trace_.OpenTrace(200), ser::ecOK);
  Receive(std::string(76, 'x') + "\r");
  std::string bracketed;
  for (int i = 0; i < 20; ++i) bracketed += "[0D]";
  Transmit(std::string(20, '\r'));
  EXPECT_EQ(Dump(), "Receive: \r\n" + std::string(76, 'x') + "\r\n[0D]\r\n\r\nTransmit: \r\n" +
                        bracketed.substr(0, 76) + "\r\n[0D]");
}

TEST_F(TraceTest, DecimalFormsWrapByTheirOwnWidth) {
  ASSERT_EQ(trace_.OpenTrace(200), ser::ecOK);
  // 74 + "[7]" = 77, then "[13]" would end at 81.
  Receive(std::string(74, 'x') + "\x07\x0D");
  EXPECT_EQ(Dump(false, false), "Receive: \r\n" + std::string(74, 'x') + "[7]\r\n[13]");
}

TEST_F(TraceTest, EmptyOrAbsentTraceWritesNoFile) {
  EXPECT_EQ(trace_.WriteTraceFile(file_, false, true, false), ser::ecOK);
  ASSERT_EQ(trace_.OpenTrace(10), ser::ecOK);
  EXPECT_EQ(trace_.WriteTraceFile(file_, false, true, false), ser::ecOK);
  EXPECT_FALSE(Exists(file_));
  EXPECT_FALSE(trace_.HasStore());
}

TEST_F(TraceTest, ResetEmptiesTheStore) {
  ASSERT_EQ(trace_.OpenTrace(3), ser::ecOK);
  Receive("ABCD");
  EXPECT_EQ(trace_.ResetTrace(), ser::ecOK);
  Transmit("z");
  EXPECT_EQ(Dump(), "Transmit: \r\nz");
}

TEST_F(TraceTest, StoreOfNoEntriesRecordsNothing) {
  ASSERT_EQ(trace_.OpenTrace(0), ser::ecOK);
  EXPECT_TRUE(trace_.TraceOn());
  Receive("AB");
  EXPECT_EQ(trace_.WriteTraceFile(file_, false, true, false), ser::ecOK);
  EXPECT_FALSE(Exists(file_));
}

TEST_F(TraceTest, SizeLimitIsFourMillionEntries) {
  EXPECT_EQ(trace_.OpenTrace(ser::kMaxTraceEntries + 1), ser::ecBadArgument);
  EXPECT_FALSE(trace_.HasStore());
  EXPECT_FALSE(trace_.TraceOn());
  EXPECT_EQ(trace_.OpenTrace(ser::kMaxTraceEntries), ser::ecOK);
  EXPECT_TRUE(trace_.HasStore());
}

TEST_F(TraceTest, ReopeningKeepsTheCapacityAndEmptiesTheStore) {
  ASSERT_EQ(trace_.OpenTrace(3), ser::ecOK);
  Receive("old");
  // Even a size above the limit is not looked at while a store exists.
  EXPECT_EQ(trace_.OpenTrace(ser::kMaxTraceEntries + 1), ser::ecOK);
  Receive("ABCDE");
  EXPECT_EQ(Dump(), "Receive: \r\nCDE");
}

TEST_F(TraceTest, PauseResumeAndDropStates) {
  trace_.ResumeTrace();
  EXPECT_FALSE(trace_.TraceOn());
  ASSERT_EQ(trace_.OpenTrace(10), ser::ecOK);
  trace_.PauseTrace();
  EXPECT_FALSE(trace_.TraceOn());
  EXPECT_TRUE(trace_.HasStore());
  trace_.ResumeTrace();
  EXPECT_TRUE(trace_.TraceOn());
  trace_.DropTrace();
  EXPECT_FALSE(trace_.TraceOn());
  EXPECT_FALSE(trace_.HasStore());
  Receive("lost");  // recording while absent does nothing
  ASSERT_EQ(trace_.OpenTrace(10), ser::ecOK);
  Receive("kept");
  EXPECT_EQ(Dump(), "Receive: \r\nkept");
}

TEST_F(TraceTest, WritingDropsTheTrace) {
  ASSERT_EQ(trace_.OpenTrace(10), ser::ecOK);
  Receive("A");
  EXPECT_EQ(Dump(), "Receive: \r\nA");
  EXPECT_FALSE(trace_.HasStore());
  EXPECT_FALSE(trace_.TraceOn());
}

TEST_F(TraceTest, AppendKeepsTheFileAndTruncateReplacesIt) {
  trace_log_test::WriteAll(file_, "before\r\n");
  ASSERT_EQ(trace_.OpenTrace(10), ser::ecOK);
  Receive("A");
  EXPECT_EQ(trace_.WriteTraceFile(file_, true, true, false), ser::ecOK);
  EXPECT_EQ(ReadAll(file_), "before\r\nReceive: \r\nA");

  ASSERT_EQ(trace_.OpenTrace(10), ser::ecOK);
  Transmit("B");
  EXPECT_EQ(trace_.WriteTraceFile(file_, false, true, false), ser::ecOK);
  EXPECT_EQ(ReadAll(file_), "Transmit: \r\nB");
}

TEST_F(TraceTest, AppendCreatesAMissingFile) {
  ASSERT_EQ(trace_.OpenTrace(10), ser::ecOK);
  Receive("A");
  EXPECT_EQ(trace_.WriteTraceFile(file_, true, true, false), ser::ecOK);
  EXPECT_EQ(ReadAll(file_), "Receive: \r\nA");
}

TEST_F(TraceTest, MissingFolderIsPathNotFoundAndDropsTheTrace) {
  ASSERT_EQ(trace_.OpenTrace(10), ser::ecOK);
  Receive("A");
  EXPECT_EQ(trace_.WriteTraceFile(folder_.File("no-such-folder/SERIAL.TRC"), false, true, false),
            ser::ecPathNotFound);
  EXPECT_FALSE(trace_.HasStore());
}

TEST_F(TraceTest, DeniedFolderIsAccessDenied) {
  folder_.MakeReadOnly();
  EXPECT_EXIT(
      {
        trace_log_test::BecomeUnprivileged();
        CRITICAL_SECTION lock;
        InitializeCriticalSection(&lock);
        ser::TSerTrace trace(lock);
        trace.OpenTrace(10);
        trace.RecordTrace('R', 'A');
        int result = trace.WriteTraceFile(file_, false, true, false);
        std::_Exit(trace.HasStore() ? 99 : trace_log_test::ExitCodeOf(-result));
      },
      ::testing::ExitedWithCode(static_cast<int>(ERROR_ACCESS_DENIED)), "");
}

TEST_F(TraceTest, FailedWriteIsReportedAndDropsTheTrace) {
  ASSERT_EQ(trace_.OpenTrace(10), ser::ecOK);
  Receive("A");
  EXPECT_EQ(trace_.WriteTraceFile("/dev/full", false, true, false),
            -static_cast<int>(ser::kDiskFull));
  EXPECT_FALSE(trace_.HasStore());
}

TEST_F(TraceTest, RecordingFromTwoThreadsLosesNothing) {
  constexpr int kEach = 5000;
  ASSERT_EQ(trace_.OpenTrace(2 * kEach), ser::ecOK);
  std::thread receiver([&] { Receive(std::string(kEach, '1')); });
  std::thread transmitter([&] { Transmit(std::string(kEach, '2')); });
  receiver.join();
  transmitter.join();
  std::string text = Dump();
  EXPECT_EQ(std::count(text.begin(), text.end(), '1'), kEach);
  EXPECT_EQ(std::count(text.begin(), text.end(), '2'), kEach);
}

}  // namespace
