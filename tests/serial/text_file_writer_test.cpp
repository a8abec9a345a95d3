// The errors a trace or log file reports when it cannot be written, as the
// user will read them: refused (access denied) or a full disk.
#include "serial/text_file_writer.h"

#include <gtest/gtest.h>

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

}  // namespace
