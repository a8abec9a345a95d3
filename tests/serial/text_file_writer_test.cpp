// The errors a trace or log file reports when it cannot be written, as the
// user will read them: refused (access denied) or a full disk.
#include "serial/text_file_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "platform/errors.h"
#include "serial/trace_log_test_files.h"

namespace {

using trace_log_test::ExitCodeOf;

struct Refusal {
  const char* what;
  std::function<std::string(const trace_log_test::TempFolder&)> place;  // in a forked child
  DWORD expected;
};

// Opens (and, when that works, writes and closes) the file; the first error.
DWORD WriteError(const std::string& file) {
  ser::TextFileWriter writer;
  if (DWORD error = writer.Open(file, false); error != 0) return error;
  writer.Write(std::string(1 << 19, 'x'));
  return writer.Close();
}

TEST(TextFileWriter, RefusedAndFullFilesSayWhatAUserUnderstands) {
  const Refusal kCases[] = {
      {"a name that is a folder", [](const auto& folder) { return folder.Path().string(); },
       ERROR_ACCESS_DENIED},
      {"a full device", [](const auto&) { return std::string("/dev/full"); }, ser::kDiskFull},
      {"a folder this user may not write",
       [](const auto& folder) {
         folder.MakeReadOnly();
         trace_log_test::BecomeUnprivileged();
         return folder.File("SERIAL.TRC");
       },
       ERROR_ACCESS_DENIED},
      {"a read-only file system",
       [](const auto& folder) {
         trace_log_test::MountReadOnlyTmpfs(folder.Path().string());
         return folder.File("SERIAL.LOG");
       },
       ERROR_ACCESS_DENIED},
  };
  for (const Refusal& refusal : kCases) {
    trace_log_test::TempFolder folder;
    EXPECT_EXIT(std::_Exit(ExitCodeOf(WriteError(refusal.place(folder)))),
                ::testing::ExitedWithCode(ExitCodeOf(refusal.expected)), "")
        << refusal.what;
  }
}

// Text of many buffers, put every way the dumps put it, arrives whole and in
// order while a thread writes one buffer as the next fills.
TEST(TextFileWriter, TextOfManyBuffersArrivesWholeAndInOrder) {
  trace_log_test::TempFolder folder;
  const std::string file = folder.File("SERIAL.LOG");
  ser::TextFileWriter writer;
  ASSERT_EQ(writer.Open(file, false), 0u);
  std::string expected;
  for (int line = 0; line < 40000; ++line) {
    const std::string number = std::to_string(line);
    char* at = writer.Room(number.size());
    std::copy(number.begin(), number.end(), at);
    writer.Advance(number.size());
    writer.Put(' ');
    writer.Write(std::string(line % 97, static_cast<char>('a' + line % 26)));
    writer.EndLine();
    expected += number + ' ' + std::string(line % 97, static_cast<char>('a' + line % 26)) + "\r\n";
    if (line % 10000 == 0) {  // longer than a buffer
      const std::string block(300000, static_cast<char>('A' + line / 10000));
      writer.Write(block);
      expected += block;
    }
  }
  EXPECT_EQ(writer.Close(), 0u);
  EXPECT_TRUE(trace_log_test::ReadAll(file) == expected);
}

}  // namespace
